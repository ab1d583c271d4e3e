#pragma once

#include <QString>

// Names the program is known by, written once.
namespace Product {

// The product name: window caption, application title, application name.
inline const QString kName = QStringLiteral("Corvantis");
// The publisher: the settings store's application name and the organisation.
inline const QString kPublisher = QStringLiteral("Quillfen");

// Files the program looks for in its own folder, named as the program names
// them (relative to the program folder, each starting with a backslash).
inline const QString kHandCursor = QStringLiteral("\\HAND-M.CUR");
inline const QString kSkin = QStringLiteral("\\x\\o.cjs");
inline const QString kSamplesFolder = QStringLiteral("\\Samples\\");
inline const QString kSample1 = QStringLiteral("\\Samples\\sample1.csv");
inline const QString kSample2 = QStringLiteral("\\Samples\\sample2.csv");

} // namespace Product

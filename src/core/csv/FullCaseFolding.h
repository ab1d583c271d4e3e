#pragma once

#include <QString>
#include <QStringView>

namespace Csv {

// Unicode full case folding (CaseFolding.txt, statuses C and F: ß → ss) without
// ICU, for Windows: Qt folds one character to one (status C and S), and the
// 104 characters whose full folding is longer are looked up in a table taken
// from Unicode 15. A lone surrogate is kept as it is.
QString fullCaseFolded(QStringView text);

} // namespace Csv

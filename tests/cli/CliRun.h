#pragma once

// What the corvantis-cli suites share: input files in a folder of their own,
// and the built program run on them.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

class CliRun
{
public:
    struct Result
    {
        int exitCode = -1; // -1: did not start, crashed or hung
        QByteArray out;
        QByteArray err;
    };

    bool isValid() const { return m_dir.isValid() && QFile::exists(QStringLiteral(CORVANTIS_CLI)); }
    QString folder() const { return m_dir.path(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Writes a file into the folder and gives its path.
    QString write(const QString &name, const QByteArray &bytes) const
    {
        const QString file = path(name);
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || out.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(file));
        return file;
    }

    // Runs the program in the folder with `input` on its standard input, and
    // its standard output sent to `outputFile` when one is given.
    Result run(const QStringList &arguments, const QByteArray &input = QByteArray(),
               const QString &outputFile = QString()) const
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        if (!outputFile.isEmpty())
            process.setStandardOutputFile(outputFile);
        process.start(QStringLiteral(CORVANTIS_CLI), arguments);
        return finish(process, input);
    }

    // QProcess passes arguments as text; a shell passes the bytes a script
    // spells with printf, so a file name can hold a byte that is not UTF-8.
    Result runInShell(const QByteArray &script) const
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromLatin1(script),
                                                  QStringLiteral(CORVANTIS_CLI)});
        return finish(process, QByteArray());
    }

private:
    static Result finish(QProcess &process, const QByteArray &input)
    {
        Result result;
        if (!process.waitForStarted(30000))
            return result;
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return result;
        result.exitCode = process.exitCode();
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

    QTemporaryDir m_dir;
};

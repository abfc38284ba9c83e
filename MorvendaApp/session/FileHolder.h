// The session files opened in this run and the one chosen as the timeline's source. Shared by
// reference; main thread only. Published state: every assignment notifies, equal values too.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class FileHolder : public QObject
{
    Q_OBJECT

public:
    explicit FileHolder(QObject *parent = nullptr);

    // URL texts of the opened files, in opening order; callers list a file once (opening it again
    // chooses it).
    const QStringList &files() const { return m_files; }
    void appendFile(const QString &urlText);

    const std::optional<QString> &openedFile() const { return m_openedFile; }
    void setOpenedFile(const std::optional<QString> &urlText);

signals:
    void filesChanged(const QStringList &files);
    void openedFileChanged(const std::optional<QString> &urlText);

private:
    QStringList m_files;
    std::optional<QString> m_openedFile;
};

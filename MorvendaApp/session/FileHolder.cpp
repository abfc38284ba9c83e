#include "MorvendaApp/session/FileHolder.h"

FileHolder::FileHolder(QObject *parent)
    : QObject(parent)
{
}

void FileHolder::appendFile(const QString &urlText)
{
    m_files.append(urlText);
    emit filesChanged(m_files);
}

void FileHolder::setOpenedFile(const std::optional<QString> &urlText)
{
    m_openedFile = urlText;
    emit openedFileChanged(m_openedFile);
}

// The screen in the details area while no exchange is selected: the server is running and under
// which name, the live connections and the opened session files to choose the timeline's source
// from, and a faint watermark above it all. Owns the chosen-connection state the two lists
// share. Made by the details column with the shared objects, which outlive it; main thread.
#pragma once

#include <QWidget>

class ConnectionSelection;
class FileHolder;
class FileListView;
class MorvendaListener;
class PeerListView;
class QLabel;
class UserManager;
class AvatarLoader;

class ConnectToPeerView : public QWidget
{
    Q_OBJECT

public:
    ConnectToPeerView(MorvendaListener &listener, FileHolder &fileHolder, UserManager &userManager,
        AvatarLoader &avatars, QWidget *parent = nullptr);

    PeerListView *peerList() const { return m_peerList; }
    FileListView *fileList() const { return m_fileList; }
    QLabel *serverNameLabel() const { return m_serverName; }
    ConnectionSelection &selection() const { return *m_selection; }

    // The watermark's opacity: fainter on a dark palette.
    static qreal watermarkOpacity(bool dark) { return dark ? 0.04 : 0.06; }

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildLayout(MorvendaListener &listener, FileHolder &fileHolder, UserManager &userManager,
        AvatarLoader &avatars);
    void applySecondaryColour();

    ConnectionSelection *m_selection = nullptr;
    PeerListView *m_peerList = nullptr;
    FileListView *m_fileList = nullptr;
    QLabel *m_serverName = nullptr;
    QList<QLabel *> m_disclaimers;
    QWidget *m_watermark = nullptr;
    bool m_shownBefore = false;
};

// The screen in the details area while no exchange is selected: the server is running and under
// which name, the live connections and the opened session files to choose the timeline's source
// from, and a faint watermark above it all. Owns the chosen-connection state the two lists
// share. Made by the details column with the shared objects, which outlive it; main thread.
#pragma once

#include <QPointer>
#include <QWidget>

class ConnectionSelection;
class FileHolder;
class FileListView;
class MorvendaListener;
class PeerListView;
class QHBoxLayout;
class QLabel;
class QScrollArea;
class QWindow;
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
    // Holds everything below the status row.
    QScrollArea *scrollArea() const { return m_scroll; }
    ConnectionSelection &selection() const { return *m_selection; }

    // The watermark's opacity: fainter on a dark palette.
    static qreal watermarkOpacity(bool dark) { return dark ? 0.04 : 0.06; }

protected:
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildLayout(MorvendaListener &listener, FileHolder &fileHolder, UserManager &userManager,
        AvatarLoader &avatars);
    void applySecondaryColour();
    void addSpinner();

    ConnectionSelection *m_selection = nullptr;
    PeerListView *m_peerList = nullptr;
    FileListView *m_fileList = nullptr;
    QLabel *m_serverName = nullptr;
    QScrollArea *m_scroll = nullptr;
    QList<QLabel *> m_disclaimers;
    QWidget *m_watermark = nullptr;
    QHBoxLayout *m_status = nullptr;
    bool m_serving = false;
    // The spinner's container and its window, which the container does not outlive on its own.
    QWidget *m_spinner = nullptr;
    QPointer<QWindow> m_spinnerWindow;
    // The top-level window whose platform window the spinner's window lives in.
    QPointer<QWidget> m_watchedWindow;
    bool m_shownBefore = false;
};

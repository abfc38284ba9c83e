// The strip at the top of a side panel that the external-window button floats over, with a note on
// its left while there is one to show.
#pragma once

#include <QWidget>

// That strip as a widget a panel puts above its rows, with a note on its left while there is one
// to show: that the app the panel talks to has disconnected.
class PanelTopStrip : public QWidget
{
    Q_OBJECT

public:
    explicit PanelTopStrip(QWidget *parent = nullptr);

    // A strip whose note follows `app`: its disconnectedText(), again on each changed(). `app` (an
    // ActiveApp, which this module cannot name) outlives the strip.
    template <typename App>
    static PanelTopStrip *following(const App &app, QWidget *parent)
    {
        auto *strip = new PanelTopStrip(parent);
        const auto refresh = [strip, &app] { strip->setNote(app.disconnectedText()); };
        connect(&app, &App::changed, strip, refresh);
        refresh();
        return strip;
    }

    // The note in full (it is elided to fit); empty while there is none.
    const QString &note() const { return m_note; }
    void setNote(const QString &note);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_note;
};

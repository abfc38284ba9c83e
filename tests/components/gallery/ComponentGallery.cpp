#include "ComponentGallery.h"

#include "MorvendaApp/components/CopyButton.h"
#include "MorvendaApp/components/Disclosure.h"
#include "MorvendaApp/components/ExternalWindowButton.h"
#include "MorvendaApp/components/FlowStack.h"
#include "MorvendaApp/components/HelpButton.h"
#include "MorvendaApp/components/HideableText.h"
#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/SegmentedPicker.h"
#include "MorvendaApp/components/Symbols.h"
#include "MorvendaApp/components/ToolbarButtons.h"
#include "MorvendaApp/components/ViewModifiers.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QGroupBox *section(const QString &title, QLayout *content)
{
    auto *box = new QGroupBox(title);
    box->setLayout(content);
    return box;
}

QWidget *toolbarButtons(WindowManager &manager)
{
    auto *row = new QHBoxLayout;
    for (SideView view : kAllSideViews)
        row->addWidget(new SideToolbarButton(view, manager));
    row->addSpacing(16);
    for (BottomView view : kAllBottomViews)
        row->addWidget(new BottomToolbarButton(view, manager));
    row->addStretch(1);
    return section(u"Toolbar: settings in the sidebar, deeplink in a window, console shown"_s, row);
}

QWidget *externalWindow(WindowManager &manager)
{
    auto *content = new QLabel(u"Panel content (user panel, not in a window)"_s);
    content->setMinimumHeight(40);
    content->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    auto *framed = new QFrame;
    framed->setFrameShape(QFrame::StyledPanel);
    auto *inner = new QVBoxLayout(framed);
    inner->addWidget(applyExternalWindowModifier(content, SideView::User, manager, {}));
    auto *layout = new QVBoxLayout;
    layout->addWidget(framed);
    return section(u"External window button"_s, layout);
}

QWidget *buttons()
{
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(u"Copy:"_s));
    row->addWidget(new CopyButton([] { return u"value"_s; }));
    auto *confirmed = new CopyButton([] { return u"copied value"_s; });
    confirmed->copy();
    row->addWidget(confirmed);
    row->addSpacing(16);
    row->addWidget(new QLabel(u"Help:"_s));
    row->addWidget(new HelpButton(Help::Filters, {[](const QUrl &) {}, [] {}}));
    row->addStretch(1);
    return section(u"Copy and help buttons"_s, row);
}

QWidget *texts()
{
    auto *column = new QVBoxLayout;
    column->addWidget(new Disclosure(u"Token"_s, u"eyJhbGciOiJIUzI1NiJ9.<b>not bold</b>\nsecond line"_s,
        new CopyButton([] { return u"token"_s; })));
    auto *folded = new Disclosure(u"Folded field"_s, u"hidden content"_s);
    folded->setExpanded(false);
    column->addWidget(folded);
    column->addWidget(new QLabel(u"Above an empty hideable text"_s));
    column->addWidget(new HideableText(QString()));
    column->addWidget(new HideableText(u"A hideable text with content"_s));
    return section(u"Disclosure and hideable text"_s, column);
}

QLabel *chip(const QString &text, const QPalette &palette)
{
    auto *label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    const QColor background = namedColor(NamedColor::Accent, palette);
    label->setStyleSheet(u"QLabel { background: %1; color: %2; border-radius: 8px; padding: 2px 8px; }"_s.arg(
        background.name(), palette.color(QPalette::HighlightedText).name()));
    return label;
}

// A picker whose owner keeps the selection and rebuilds the items when it changes; the selected
// item draws itself as a chip.
class PickerDemo : public SegmentedPicker
{
public:
    explicit PickerDemo(const QPalette &palette)
        : SegmentedPicker(6)
        , m_palette(palette)
    {
        rebuild();
    }

private:
    void rebuild()
    {
        setData(
            m_choices,
            [this](const QString &choice) -> QWidget * {
                if (choice == m_selected)
                    return chip(choice, m_palette);
                auto *label = new QLabel(choice);
                label->setContentsMargins(8, 2, 8, 2);
                return label;
            },
            [this](const QString &choice) {
                m_selected = choice;
                rebuild();
            });
    }

    QPalette m_palette;
    QStringList m_choices{u"bar"_s, u"line"_s, u"points"_s};
    QString m_selected = u"line"_s;
};

QWidget *modifiersAndLayouts(const QPalette &palette)
{
    auto *grid = new QGridLayout;

    auto *darkened = new QLabel;
    darkened->setPixmap(Symbols::pixmap(u"star.fill"_s, namedColor(NamedColor::Yellow, palette), 24, 1.0));
    applyDarkenedForLightMode(darkened);
    auto *plain = new QLabel;
    plain->setPixmap(Symbols::pixmap(u"star.fill"_s, namedColor(NamedColor::Yellow, palette), 24, 1.0));
    auto *round = new QLabel(u"JD"_s);
    round->setAlignment(Qt::AlignCenter);
    round->setAutoFillBackground(true);
    QPalette roundPalette = round->palette();
    roundPalette.setColor(QPalette::Window, namedColor(NamedColor::Purple, palette));
    roundPalette.setColor(QPalette::WindowText, Qt::white);
    round->setPalette(roundPalette);
    applyRoundView(round, 30);
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(u"Plain, darkened in light mode, round:"_s));
    row->addWidget(plain);
    row->addWidget(darkened);
    row->addWidget(round);
    row->addStretch(1);
    grid->addLayout(row, 0, 0);

    auto *chips = new QWidget;
    chips->setFixedWidth(320);
    auto *flow = new FlowStack(chips);
    for (const QString &text : {u"GET"_s, u"analytics"_s, u"settings"_s, u"milestones"_s, u"status 200"_s,
             u"retailer"_s, u"brand"_s, u"a rather long chip text"_s, u"x"_s})
        flow->addWidget(chip(text, palette));
    grid->addWidget(chips, 1, 0);

    auto *picker = new PickerDemo(palette);
    grid->addWidget(picker, 2, 0, Qt::AlignLeft);
    return section(u"View modifiers, flow stack and segmented picker"_s, grid);
}

QWidget *symbolSheet(const QPalette &palette)
{
    auto *grid = new QGridLayout;
    grid->setSpacing(6);
    const QStringList names = Symbols::names();
    const int columns = 17;
    for (int i = 0; i < names.size(); ++i) {
        auto *icon = new QLabel;
        icon->setPixmap(Symbols::pixmap(names[i], namedColor(NamedColor::Primary, palette), 18, 1.0));
        icon->setToolTip(names[i].toHtmlEscaped());
        grid->addWidget(icon, i / columns, i % columns);
    }
    const int colourRow = int(names.size()) / columns + 1;
    const NamedColor colours[] = {NamedColor::Primary, NamedColor::Secondary, NamedColor::Accent, NamedColor::Red,
        NamedColor::Orange, NamedColor::Yellow, NamedColor::Green, NamedColor::Blue, NamedColor::Purple,
        NamedColor::Pink, NamedColor::Gray};
    int column = 0;
    for (NamedColor colour : colours) {
        auto *swatch = new QLabel;
        swatch->setPixmap(Symbols::pixmap(u"circle.fill"_s, namedColor(colour, palette), 18, 1.0));
        grid->addWidget(swatch, colourRow, column++);
    }
    return section(u"Symbols and named colours"_s, grid);
}

} // namespace

QWidget *buildComponentGallery(WindowManager &windowManager, QWidget *parent)
{
    windowManager.setSideView(SideView::Settings);
    windowManager.setWindows({SideView::Deeplink});
    windowManager.setBottomView(BottomView::Console);

    auto *page = new QWidget(parent);
    const QPalette palette = page->palette();
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(toolbarButtons(windowManager));
    layout->addWidget(externalWindow(windowManager));
    layout->addWidget(buttons());
    layout->addWidget(texts());
    layout->addWidget(modifiersAndLayouts(palette));
    layout->addWidget(symbolSheet(palette));
    layout->addStretch(1);
    return page;
}

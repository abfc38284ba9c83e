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
    return section(QStringLiteral("Toolbar: settings in the sidebar, deeplink in a window, console shown"), row);
}

QWidget *externalWindow(WindowManager &manager)
{
    auto *content = new QLabel(QStringLiteral("Panel content (user panel, not in a window)"));
    content->setMinimumHeight(40);
    content->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    auto *framed = new QFrame;
    framed->setFrameShape(QFrame::StyledPanel);
    auto *inner = new QVBoxLayout(framed);
    inner->addWidget(applyExternalWindowModifier(content, SideView::User, manager, {}));
    auto *layout = new QVBoxLayout;
    layout->addWidget(framed);
    return section(QStringLiteral("External window button"), layout);
}

QWidget *buttons()
{
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Copy:")));
    row->addWidget(new CopyButton([] { return QStringLiteral("value"); }));
    auto *confirmed = new CopyButton([] { return QStringLiteral("copied value"); });
    confirmed->copy();
    row->addWidget(confirmed);
    row->addSpacing(16);
    row->addWidget(new QLabel(QStringLiteral("Help:")));
    row->addWidget(new HelpButton(Help::Filters, {[](const QUrl &) {}, [] {}}));
    row->addStretch(1);
    return section(QStringLiteral("Copy and help buttons"), row);
}

QWidget *texts()
{
    auto *column = new QVBoxLayout;
    column->addWidget(new Disclosure(QStringLiteral("Token"), QStringLiteral("eyJhbGciOiJIUzI1NiJ9.<b>not bold</b>\nsecond line"),
        new CopyButton([] { return QStringLiteral("token"); })));
    auto *folded = new Disclosure(QStringLiteral("Folded field"), QStringLiteral("hidden content"));
    folded->setExpanded(false);
    column->addWidget(folded);
    column->addWidget(new QLabel(QStringLiteral("Above an empty hideable text")));
    column->addWidget(new HideableText(QString()));
    column->addWidget(new HideableText(QStringLiteral("A hideable text with content")));
    return section(QStringLiteral("Disclosure and hideable text"), column);
}

QLabel *chip(const QString &text, const QPalette &palette)
{
    auto *label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    const QColor background = namedColor(NamedColor::Accent, palette);
    label->setStyleSheet(QStringLiteral("QLabel { background: %1; color: %2; border-radius: 8px; padding: 2px 8px; }").arg(
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
    QStringList m_choices{QStringLiteral("bar"), QStringLiteral("line"), QStringLiteral("points")};
    QString m_selected = QStringLiteral("line");
};

QWidget *modifiersAndLayouts(const QPalette &palette)
{
    auto *grid = new QGridLayout;

    auto *darkened = new QLabel;
    darkened->setPixmap(Symbols::pixmap(QStringLiteral("star.fill"), namedColor(NamedColor::Yellow, palette), 24, 1.0));
    applyDarkenedForLightMode(darkened);
    auto *plain = new QLabel;
    plain->setPixmap(Symbols::pixmap(QStringLiteral("star.fill"), namedColor(NamedColor::Yellow, palette), 24, 1.0));
    auto *round = new QLabel(QStringLiteral("JD"));
    round->setAlignment(Qt::AlignCenter);
    round->setAutoFillBackground(true);
    QPalette roundPalette = round->palette();
    roundPalette.setColor(QPalette::Window, namedColor(NamedColor::Purple, palette));
    roundPalette.setColor(QPalette::WindowText, Qt::white);
    round->setPalette(roundPalette);
    applyRoundView(round, 30);
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Plain, darkened in light mode, round:")));
    row->addWidget(plain);
    row->addWidget(darkened);
    row->addWidget(round);
    row->addStretch(1);
    grid->addLayout(row, 0, 0);

    auto *chips = new QWidget;
    chips->setFixedWidth(320);
    auto *flow = new FlowStack(chips);
    for (const QString &text : {QStringLiteral("GET"), QStringLiteral("analytics"), QStringLiteral("settings"), QStringLiteral("milestones"), QStringLiteral("status 200"),
             QStringLiteral("retailer"), QStringLiteral("brand"), QStringLiteral("a rather long chip text"), QStringLiteral("x")})
        flow->addWidget(chip(text, palette));
    grid->addWidget(chips, 1, 0);

    auto *picker = new PickerDemo(palette);
    grid->addWidget(picker, 2, 0, Qt::AlignLeft);
    return section(QStringLiteral("View modifiers, flow stack and segmented picker"), grid);
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
        swatch->setPixmap(Symbols::pixmap(QStringLiteral("circle.fill"), namedColor(colour, palette), 18, 1.0));
        grid->addWidget(swatch, colourRow, column++);
    }
    return section(QStringLiteral("Symbols and named colours"), grid);
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

#include "SettingDelegate.h"

#include "Chip.h"
#include "PanelParts.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/Symbols.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/remote/SettingsListModel.h"
#include "MorvendaApp/remote/SettingsListViewModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <limits>

namespace {

constexpr int kPadX = 12;
constexpr int kPadY = 6;
constexpr int kSpacing = 4;
constexpr int kCopySize = 14;
constexpr int kFieldHeight = 24;
constexpr int kDotSize = 8;
constexpr int kInvalidLines = 4;

QString sendTitle()
{
    return L10n::text("Setting.sendOverride");
}

QRect textRect(const QFontMetrics &metrics, int x, int y, int width)
{
    return {x, y, width, metrics.height()};
}

} // namespace

SettingDelegate::SettingDelegate(SettingsListViewModel &viewModel, QAbstractItemView *view)
    : QStyledItemDelegate(view)
    , m_viewModel(viewModel)
    , m_view(view)
    , m_viewport(view->viewport())
{
    m_viewport->installEventFilter(this);
}

void SettingDelegate::detach()
{
    if (m_viewport)
        m_viewport->removeEventFilter(this);
    m_viewport = nullptr;
}

bool SettingDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_viewport.data() && viewportEvent(event))
        return true;
    if (watched == m_editor.data() && event->type() == QEvent::KeyPress) {
        // Return in the field sends nothing and leaves the field open. The base class would
        // commit and close it from a queued call, by which time the view may have closed it.
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}

bool SettingDelegate::viewportEvent(QEvent *event)
{
    // The rows' controls are painted, so the viewport's clicks are read here. The view would
    // hand a click in a row with an open editor to that editor, never to the row's buttons: a
    // press outside the field closes the editor first (what was typed is kept). The view may
    // have closed it already (the press took the focus from it, or the rows were rebuilt): it
    // lives on until deleted later, but is no longer the view's to close.
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    const QPoint at = mouse->position().toPoint();
    const QModelIndex index = m_view->indexAt(at);
    const Part part = index.isValid() ? partAt(index, at) : Part::None;
    if (event->type() == QEvent::MouseButtonPress) {
        if (m_editor && m_view->indexWidget(m_editorIndex) == m_editor && !m_editor->geometry().contains(at))
            emit closeEditor(m_editor, NoHint);
        if (mouse->button() == Qt::LeftButton) {
            m_pressedKey = part == Part::None ? QString() : settingAt(index).key;
            m_pressedPart = part;
        }
        return false;
    }
    if (mouse->button() != Qt::LeftButton || part == Part::None)
        return false;
    // A press on one control released over another (in this row or another) does nothing.
    const bool samePart = part == m_pressedPart && settingAt(index).key == m_pressedKey;
    m_pressedPart = Part::None;
    m_pressedKey.clear();
    if (samePart) {
        // A copy: a send may rebuild the list, so nothing below reads the model's row again.
        const Setting setting = settingAt(index);
        click(setting, part, index, mouse->globalPosition().toPoint());
    }
    return true;
}

const Setting &SettingDelegate::settingAt(const QModelIndex &index) const
{
    return static_cast<const SettingsListModel *>(index.model())->recordAt(index.row());
}

SettingDelegate::Geometry SettingDelegate::geometry(const QStyleOptionViewItem &option, const Setting &setting,
    const SettingRow &row) const
{
    Geometry g;
    const QFont base = option.font;
    const QFontMetrics body(PanelParts::font(base, PanelParts::kBody, true));
    const QFontMetrics caption(PanelParts::font(base, PanelParts::kCaption));
    const QFontMetrics mono(PanelParts::font(base, PanelParts::kBody, false, true));
    const QFontMetrics callout(PanelParts::font(base, PanelParts::kCallout));
    const QFontMetrics caption2(PanelParts::font(base, PanelParts::kCaption2));
    const int left = option.rect.left() + kPadX;
    const int width = qMax(40, option.rect.width() - 2 * kPadX);
    const int right = left + width;
    int y = option.rect.top() + kPadY;

    g.copy = QRect(right - kCopySize, y + (body.height() - kCopySize) / 2, kCopySize, kCopySize);
    g.name = textRect(body, left, y, width - kCopySize - kSpacing);
    y += body.height() + kSpacing;
    g.engineer = textRect(caption, left, y, width);
    y += caption.height() + kSpacing;
    g.key = textRect(mono, left, y, width);
    y += mono.height() + kSpacing;

    if (row.editor == SettingRow::Editor::Text) {
        y += 2;
        g.field = QRect(left, y, width, kFieldHeight);
        y += kFieldHeight + 2;
        if (row.isOverriding) {
            g.tag = textRect(caption2, left, y, caption2.horizontalAdvance(L10n::text("Setting.overriding")));
            y += caption2.height();
        }
        if (row.showsSendButton) {
            y += 2;
            const QSize button = Chip::sizeFor(body, QString(), sendTitle());
            g.send = QRect(left, y, button.width(), button.height());
            y += button.height();
            if (row.showsInvalidNumber) {
                y += 6;
                const QRect bound = callout.boundingRect(QRect(left, y, width, callout.height() * kInvalidLines),
                    Qt::TextWordWrap, L10n::text("Setting.invalidNumber"));
                g.invalid = QRect(left, y, width, qMin(bound.height(), callout.height() * kInvalidLines));
                y += g.invalid.height();
            }
        }
    } else {
        const QList<Setting::BoolState> states = Setting::allBoolStates();
        const int chipHeight = Chip::sizeFor(body, QString(), QStringLiteral("on")).height();
        const int lineHeight = qMax(chipHeight, body.height());
        y += 4;
        const int middle = y + lineHeight / 2;
        g.dot = QRect(left, middle - kDotSize / 2, kDotSize, kDotSize);
        const QString onOff = L10n::textOrKey(row.isOn ? QStringLiteral("On") : QStringLiteral("Off"));
        g.onOff = QRect(g.dot.right() + 1 + kSpacing, y, body.horizontalAdvance(onOff), lineHeight);
        if (row.isOverriding)
            g.tag = QRect(g.onOff.right() + 1 + kSpacing, y,
                caption2.horizontalAdvance(L10n::text("Setting.overriding")), lineHeight);
        int x = right;
        for (qsizetype i = states.size() - 1; i >= 0; --i) {
            const QSize chip = Chip::sizeFor(body, QString(), Setting::rawValue(states.at(i)));
            x -= chip.width();
            g.chips[i] = QRect(x, middle - chip.height() / 2, chip.width(), chip.height());
            x -= kSpacing;
        }
        y += lineHeight + 4;
    }
    g.height = y + kPadY - option.rect.top();
    Q_UNUSED(setting);
    return g;
}

QSize SettingDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const Setting &setting = settingAt(index);
    QStyleOptionViewItem opt = option;
    opt.rect.moveTopLeft({0, 0});
    return {opt.rect.width(), geometry(opt, setting, m_viewModel.row(setting)).height};
}

void SettingDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const Setting &setting = settingAt(index);
    const SettingRow row = m_viewModel.row(setting);
    const Geometry g = geometry(option, setting, row);
    const QPalette &palette = option.palette;
    const bool enabled = m_viewModel.canSend();
    QColor primary = palette.color(QPalette::Text);
    QColor secondary = namedColor(NamedColor::Secondary, palette);
    if (!enabled) {
        primary.setAlphaF(0.5f);
        secondary.setAlphaF(secondary.alphaF() * 0.6f);
    }
    const QFont base = option.font;
    const QFont bold = PanelParts::font(base, PanelParts::kBody, true);
    const QFont body = PanelParts::font(base, PanelParts::kBody);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    // Every text of a row has one line: a line break from the app shows as a symbol.
    const auto elided = [&](const QFont &font, const QString &text, int width) {
        return QFontMetrics(font).elidedText(PanelParts::oneLine(text), Qt::ElideRight, width);
    };
    painter->setFont(bold);
    painter->setPen(primary);
    painter->drawText(g.name, Qt::AlignLeft | Qt::AlignVCenter, elided(bold, setting.name, g.name.width()));
    painter->drawPixmap(g.copy.topLeft(),
        Symbols::pixmap(QStringLiteral("square.on.square"), QColor(secondary.red(), secondary.green(), secondary.blue(),
                                                                int(secondary.alpha() * 0.5)),
            kCopySize, painter->device()->devicePixelRatioF()));
    const QFont caption = PanelParts::font(base, PanelParts::kCaption);
    painter->setFont(caption);
    painter->setPen(secondary);
    painter->drawText(g.engineer, Qt::AlignLeft | Qt::AlignVCenter,
        elided(caption, setting.directlyResponsibleEngineerName, g.engineer.width()));
    const QFont mono = PanelParts::font(base, PanelParts::kBody, false, true);
    painter->setFont(mono);
    painter->drawText(g.key, Qt::AlignLeft | Qt::AlignVCenter, elided(mono, setting.key, g.key.width()));

    const QFont caption2 = PanelParts::font(base, PanelParts::kCaption2);
    const auto paintTag = [&] {
        if (!row.isOverriding)
            return;
        QColor red = namedColor(NamedColor::Red, palette);
        if (!isDarkPalette(palette))
            red = red.darker(140);
        painter->setFont(caption2);
        painter->setPen(red);
        painter->drawText(g.tag, Qt::AlignLeft | Qt::AlignVCenter, L10n::text("Setting.overriding"));
    };

    if (row.editor == SettingRow::Editor::Text) {
        QPainterPath frame;
        frame.addRoundedRect(QRectF(g.field).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
        painter->fillPath(frame, palette.color(QPalette::Base));
        painter->setPen(palette.color(QPalette::Mid));
        painter->drawPath(frame);
        painter->setFont(body);
        painter->setPen(primary);
        painter->drawText(g.field.adjusted(6, 0, -6, 0), Qt::AlignLeft | Qt::AlignVCenter,
            elided(body, row.fieldText, g.field.width() - 12));
        paintTag();
        if (row.showsSendButton) {
            painter->setFont(body);
            Chip::paint(*painter, g.send, palette, QString(), sendTitle(), row.sendEnabled(), enabled && row.sendEnabled());
        }
        if (row.showsInvalidNumber) {
            painter->setFont(PanelParts::font(base, PanelParts::kCallout));
            painter->setPen(secondary);
            painter->drawText(g.invalid, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, L10n::text("Setting.invalidNumber"));
        }
    } else {
        QColor dot = namedColor(row.isOn ? NamedColor::Green : NamedColor::Gray, palette);
        painter->setPen(Qt::NoPen);
        painter->setBrush(dot);
        painter->drawEllipse(g.dot);
        painter->setFont(body);
        painter->setPen(secondary);
        painter->drawText(g.onOff, Qt::AlignLeft | Qt::AlignVCenter,
            L10n::textOrKey(row.isOn ? QStringLiteral("On") : QStringLiteral("Off")));
        paintTag();
        painter->setFont(body);
        const QList<Setting::BoolState> states = Setting::allBoolStates();
        for (qsizetype i = 0; i < states.size(); ++i)
            Chip::paint(*painter, g.chips[i], palette, QString(), Setting::rawValue(states.at(i)),
                states.at(i) == row.pickerState, enabled);
    }
    QColor separator = palette.color(QPalette::Text);
    separator.setAlphaF(0.12f);
    painter->setPen(separator);
    painter->drawLine(option.rect.left() + kPadX, option.rect.bottom(), option.rect.right() - kPadX, option.rect.bottom());
    painter->restore();
}

SettingDelegate::Part SettingDelegate::partAt(const QModelIndex &index, QPoint at) const
{
    if (!m_viewModel.canSend())
        return Part::None;
    QStyleOptionViewItem option;
    option.initFrom(m_view->viewport());
    option.rect = m_view->visualRect(index);
    option.font = m_view->font();
    const Setting &setting = settingAt(index);
    const SettingRow row = m_viewModel.row(setting);
    const Geometry g = geometry(option, setting, row);
    if (g.copy.contains(at))
        return Part::Copy;
    if (row.editor == SettingRow::Editor::Boolean) {
        constexpr Part chips[] = {Part::Server, Part::On, Part::Off};
        for (std::size_t i = 0; i < std::size(chips); ++i) {
            if (g.chips[i].contains(at))
                return chips[i];
        }
        return Part::None;
    }
    if (g.send.contains(at))
        return Part::Send;
    if (g.field.contains(at))
        return Part::Field;
    return Part::None;
}

void SettingDelegate::click(const Setting &setting, Part part, const QModelIndex &index, QPoint global)
{
    switch (part) {
    case Part::None:
        return;
    case Part::Copy:
        QGuiApplication::clipboard()->setText(setting.key);
        QToolTip::showText(global, L10n::text("CopiedToPasteboard"));
        return;
    case Part::Field:
        m_view->edit(index);
        return;
    case Part::Send:
        if (m_viewModel.row(setting).sendEnabled())
            m_viewModel.sendValueOverride(setting);
        return;
    case Part::Server:
        m_viewModel.sendBoolOverride(setting, Setting::BoolState::Server);
        return;
    case Part::On:
        m_viewModel.sendBoolOverride(setting, Setting::BoolState::On);
        return;
    case Part::Off:
        m_viewModel.sendBoolOverride(setting, Setting::BoolState::Off);
        return;
    }
}

QWidget *SettingDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const
{
    auto *editor = new QLineEdit(parent);
    editor->setFont(PanelParts::font(parent->font(), PanelParts::kBody));
    editor->setObjectName(QStringLiteral("settingValueField"));
    // A value of any length goes to the app whole: no cut at QLineEdit's default 32,767.
    editor->setMaxLength(std::numeric_limits<int>::max());
    const QString key = settingAt(index).key;
    SettingsListViewModel *viewModel = &m_viewModel;
    connect(editor, &QLineEdit::textEdited, viewModel, [viewModel, key](const QString &text) { viewModel->setTypedText(key, text); });
    m_editor = editor;
    m_editorIndex = index;
    return editor;
}

void SettingDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *line = static_cast<QLineEdit *>(editor);
    const QString text = m_viewModel.row(settingAt(index)).fieldText;
    // The view hands the data back after every keystroke: leave the cursor where it is.
    if (line->text() != text)
        line->setText(text);
}

void SettingDelegate::setModelData(QWidget *, QAbstractItemModel *, const QModelIndex &) const
{
    // Each keystroke has reached the view model already.
}

void SettingDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
    const QModelIndex &index) const
{
    const Setting &setting = settingAt(index);
    editor->setGeometry(geometry(option, setting, m_viewModel.row(setting)).field);
}

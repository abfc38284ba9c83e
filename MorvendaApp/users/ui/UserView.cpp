#include "UserView.h"

#include "PeerTextLabel.h"
#include "UserImages.h"
#include "UserTags.h"

#include "MorvendaApp/components/CopyButton.h"
#include "MorvendaApp/components/Disclosure.h"
#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/PaletteFollower.h"
#include "MorvendaApp/components/Symbols.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/users/PeerText.h"
#include "MorvendaModel/ShownText.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {

constexpr int kPictureSize = 120;
constexpr int kTitle2PixelSize = 17;
constexpr int kTitle3PixelSize = 15;
// The header's texts come from the app: a few lines each keep the picture and the admin button in
// view whatever the app sends.
constexpr int kHeaderTextLines = 3;
// What a row lays out of its value at most; the copy button copies all of it.
constexpr qsizetype kRowValueChars = PeerText::kMaxShown / 2;

PeerTextLabel *centredText(int pixelSize, bool secondary, QWidget *parent)
{
    auto *label = new PeerTextLabel(kHeaderTextLines, parent);
    if (pixelSize > 0) {
        QFont font = label->font();
        font.setPixelSize(pixelSize);
        label->setFont(font);
    }
    if (secondary)
        PaletteFollower::followSecondaryText(label);
    return label;
}

// A one-pixel rule across the middle of three, in the palette's mid colour read at every paint:
// it follows a switch of the colour scheme (a style sheet's "palette(mid)" keeps the colour of
// the scheme it was polished in).
class Divider : public QWidget
{
public:
    explicit Divider(QWidget *parent)
        : QWidget(parent)
    {
        setFixedHeight(3);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).fillRect(QRect(0, 1, width(), 1), palette().color(QPalette::Mid));
    }
};

// A folding row with its copy button laid over the header's right end.
QWidget *copyableRow(const UserViewModel::Row &row, QWidget *parent)
{
    auto *cell = new QWidget(parent);
    auto *grid = new QGridLayout(cell);
    grid->setContentsMargins(0, 4, 0, 4);
    auto *disclosure = new Disclosure(row.label, ShownText::cut(row.value, kRowValueChars), nullptr, cell);
    const QString value = row.value;
    auto *copy = new CopyButton([value] { return value; }, cell);
    grid->addWidget(disclosure, 0, 0);
    grid->addWidget(copy, 0, 0, Qt::AlignTop | Qt::AlignRight);
    return cell;
}

} // namespace

UserView::UserView(UserManager &userManager, MorvendaListener &clientListener, AvatarLoader &avatars,
    OpenUrl openUrl, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(new UserViewModel(userManager, clientListener, this))
    , m_avatars(avatars)
    , m_openUrl(std::move(openUrl))
{
    buildLayout();
    connect(m_viewModel, &UserViewModel::userChanged, this, &UserView::showUser);
    connect(m_adminButton, &QPushButton::clicked, this, &UserView::openOnAdmin);
    showUser(m_viewModel->user());
}

void UserView::buildLayout()
{
    m_stack = new QStackedLayout(this);

    m_empty = new QLabel(L10n::text("User.noDataAvailable"), this);
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setMargin(16);
    PaletteFollower::followSecondaryText(m_empty);
    m_stack->addWidget(m_empty);

    m_scroll = new QScrollArea(this);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *content = new QWidget(m_scroll);
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(4);

    auto *header = new QVBoxLayout;
    header->setContentsMargins(0, 16, 0, 16);
    header->setSpacing(8);
    m_images = new UserImages(m_avatars, kPictureSize, content);
    header->addWidget(m_images, 0, Qt::AlignHCenter);
    auto *names = new QVBoxLayout;
    names->setSpacing(4);
    names->setContentsMargins(0, 0, 0, 10);
    m_name = centredText(kTitle2PixelSize, false, content);
    m_token = centredText(0, true, content);
    names->addWidget(m_name);
    names->addWidget(m_token);
    header->addLayout(names);
    auto *retailer = new QVBoxLayout;
    retailer->setSpacing(4);
    retailer->setContentsMargins(0, 0, 0, 10);
    m_retailerName = centredText(kTitle3PixelSize, false, content);
    m_retailerToken = centredText(0, true, content);
    retailer->addWidget(m_retailerName);
    retailer->addWidget(m_retailerToken);
    header->addLayout(retailer);
    m_adminButton = new QPushButton(L10n::text("User.openOnAdmin"), content);
    PaletteFollower::follow(m_adminButton, [button = m_adminButton] {
        button->setIcon(Symbols::icon(QStringLiteral("arrow.forward.circle"), namedColor(NamedColor::Primary, button->palette())));
    });
    // The symbol follows the text.
    m_adminButton->setLayoutDirection(Qt::RightToLeft);
    header->addWidget(m_adminButton, 0, Qt::AlignHCenter);
    column->addLayout(header);

    m_tags = new UserTags({}, content);
    column->addWidget(m_tags);

    m_rows = new QWidget(content);
    m_rowsLayout = new QVBoxLayout(m_rows);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(0);
    column->addWidget(m_rows);
    column->addStretch(1);

    m_scroll->setWidget(content);
    m_stack->addWidget(m_scroll);
}

bool UserView::showsUser() const
{
    return m_stack->currentWidget() == m_scroll;
}

void UserView::showUser(const std::optional<User> &user)
{
    if (!user) {
        m_images->setUser(std::nullopt);
        m_stack->setCurrentWidget(m_empty);
        return;
    }
    m_images->setUser(user);
    m_name->setText(user->name());
    m_token->setText(user->token());
    const std::optional<Retailer> &retailer = user->retailer();
    m_retailerName->setText(retailer ? retailer->name() : std::nullopt);
    m_retailerToken->setText(retailer ? retailer->token() : std::nullopt);
    m_adminButton->setEnabled(UserViewModel::adminURL(user).has_value());
    m_tags->setTags(user->tags());
    rebuildRows(*user);
    m_stack->setCurrentWidget(m_scroll);
}

void UserView::rebuildRows(const User &user)
{
    // Rows start anew, expanded and not in their copied state, whenever the user is shown again.
    while (QLayoutItem *item = m_rowsLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const UserViewModel::Row &row : UserViewModel::rows(user)) {
        m_rowsLayout->addWidget(copyableRow(row, m_rows));
        m_rowsLayout->addWidget(new Divider(m_rows));
    }
}

QList<Disclosure *> UserView::rows() const
{
    return m_rows->findChildren<Disclosure *>();
}

void UserView::openOnAdmin()
{
    // Computed again at the click: the user may have changed since the button was drawn.
    if (const std::optional<QUrl> url = UserViewModel::adminURL(m_viewModel->user())) {
        openUrlWith(m_openUrl, *url);
    }
}

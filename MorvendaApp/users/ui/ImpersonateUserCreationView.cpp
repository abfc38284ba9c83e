#include "ImpersonateUserCreationView.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/PaletteFollower.h"
#include "MorvendaApp/components/SymbolLabel.h"
#include "MorvendaApp/components/Symbols.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/users/ImpersonateUserCreationViewModel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kTitlePixelSize = 22;
constexpr int kCaptionPixelSize = 10;
constexpr int kFieldWidth = 300;

QLabel *centredLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

} // namespace

ImpersonateUserCreationView::ImpersonateUserCreationView(ImpersonateListViewModel &listViewModel, QWidget *parent)
    : QDialog(parent)
    , m_viewModel(new ImpersonateUserCreationViewModel(listViewModel, this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    setWindowTitle(L10n::text("Impersonation.addNewUser"));
    buildLayout();
    connectSignals();
}

void ImpersonateUserCreationView::buildLayout()
{
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(16, 16, 16, 16);

    auto *column = new QVBoxLayout;
    column->setSpacing(8);

    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(8);
    auto *symbol = new SymbolLabel(QStringLiteral("person.2.gobackward"), NamedColor::Primary, kTitlePixelSize, this);
    auto *title = new QLabel(L10n::text("Impersonation.addNewUser"), this);
    QFont titleFont = title->font();
    titleFont.setPixelSize(kTitlePixelSize);
    title->setFont(titleFont);
    titleRow->addStretch(1);
    titleRow->addWidget(symbol);
    titleRow->addWidget(title);
    titleRow->addStretch(1);
    column->addLayout(titleRow);

    column->addWidget(centredLabel(L10n::text("Impersonation.AddUser.description"), this));
    auto *subtext = centredLabel(L10n::text("Impersonation.AddUser.subtext"), this);
    QFont caption = subtext->font();
    caption.setPixelSize(kCaptionPixelSize);
    subtext->setFont(caption);
    // Room for its three lines is kept even when a translation is shorter.
    subtext->setMinimumHeight(3 * QFontMetrics(caption).lineSpacing());
    PaletteFollower::followSecondaryText(subtext);
    column->addWidget(subtext);

    m_token = new QLineEdit(this);
    m_token->setObjectName(QStringLiteral("userToken"));
    m_token->setPlaceholderText(L10n::text("Impersonation.AddUser.userToken"));
    m_token->setMinimumWidth(kFieldWidth);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("name"));
    m_name->setPlaceholderText(L10n::text("Impersonation.AddUser.name"));
    column->addSpacing(8);
    column->addWidget(m_token);
    column->addWidget(m_name);

    m_save = new QPushButton(L10n::text("Save"), this);
    m_save->setDefault(true);
    m_save->setEnabled(false);
    m_cancel = new QPushButton(L10n::text("Cancel"), this);
    m_cancel->setFlat(true);
    m_cancel->setAutoDefault(false);
    column->addSpacing(8);
    column->addWidget(m_save, 0, Qt::AlignHCenter);
    column->addSpacing(8);
    column->addWidget(m_cancel, 0, Qt::AlignHCenter);

    grid->addLayout(column, 0, 0);
    m_close = new QPushButton(this);
    m_close->setObjectName(QStringLiteral("close"));
    m_close->setFlat(true);
    m_close->setAutoDefault(false);
    PaletteFollower::follow(m_close, [close = m_close] {
        close->setIcon(Symbols::icon(QStringLiteral("xmark"), namedColor(NamedColor::Secondary, close->palette())));
    });
    grid->addWidget(m_close, 0, 0, Qt::AlignTop | Qt::AlignRight);
}

void ImpersonateUserCreationView::connectSignals()
{
    // The texts are taken exactly as typed: a lone space is a token.
    connect(m_token, &QLineEdit::textChanged, m_viewModel, &ImpersonateUserCreationViewModel::setUserToken);
    connect(m_name, &QLineEdit::textChanged, m_viewModel, &ImpersonateUserCreationViewModel::setName);
    connect(m_viewModel, &ImpersonateUserCreationViewModel::canSaveChanged, m_save, &QPushButton::setEnabled);
    connect(m_save, &QPushButton::clicked, this, &ImpersonateUserCreationView::save);
    connect(m_viewModel, &ImpersonateUserCreationViewModel::saved, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
}

void ImpersonateUserCreationView::save()
{
    m_viewModel->save();
}

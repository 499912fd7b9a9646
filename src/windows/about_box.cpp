#include "windows/about_box.h"

#include "table/main_window_texts.h"
#include "base/texts.h"
#include "windows/text_fit.h"
#include "windows/window_texts.h"

#include <algorithm>

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QBoxLayout>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include <cstdio>
#include <cstring>

// The maker's details come from the build (CMake cache variables QUILEX_MAKER_*).
#ifndef QUILEX_MAKER_EMAIL
#define QUILEX_MAKER_EMAIL "info@quilex.example"
#endif
#ifndef QUILEX_MAKER_WEB
#define QUILEX_MAKER_WEB "https://www.quilex.example"
#endif
#ifndef QUILEX_MAKER_PHONES
#define QUILEX_MAKER_PHONES "000-00-00,000-00-01,000-00-02"
#endif
#ifndef QUILEX_LEGAL_NOTICE
#define QUILEX_LEGAL_NOTICE "Copyright (C) the maker of Quilex-A"
#endif
#ifndef QUILEX_VERSION
#define QUILEX_VERSION "0.0.0"
#endif

namespace quilex {
namespace {

namespace wt = window_texts;

// A gauge with its screen and probe, drawn once: the box keeps its picture with it.
QPixmap programIconPicture()
{
    QPixmap pixmap(74, 74);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x20, 0x30, 0x60), 2));
    p.setBrush(QColor(0xE8, 0xC0, 0x30));
    p.drawRoundedRect(QRectF(14, 6, 40, 62), 6, 6);
    p.setBrush(QColor(0xB8, 0xD8, 0xB0));
    p.drawRect(QRectF(19, 12, 30, 18));
    p.setPen(QPen(Qt::black, 1));
    p.drawText(QRectF(19, 12, 30, 18), Qt::AlignCenter, QStringLiteral("12.5"));
    p.setBrush(QColor(0x40, 0x40, 0x40));
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            p.drawEllipse(QRectF(21 + 10 * col, 36 + 9 * row, 6, 6));
    p.setPen(QPen(QColor(0x20, 0x30, 0x60), 2));
    p.drawLine(QPointF(54, 50), QPointF(66, 58));
    p.setBrush(QColor(0x20, 0x30, 0x60));
    p.drawRect(QRectF(62, 56, 8, 12));
    return pixmap;
}

QLabel* makeLink(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

} // namespace

const AboutInfo& aboutInfo()
{
    static const AboutInfo info{
        QStringLiteral(QUILEX_VERSION),
        QString::fromLatin1(__DATE__),
        QString::fromUtf8(QUILEX_LEGAL_NOTICE),
        QString::fromUtf8(QUILEX_MAKER_EMAIL),
        QString::fromUtf8(QUILEX_MAKER_WEB),
        QString::fromUtf8(QUILEX_MAKER_PHONES).split(u',', Qt::SkipEmptyParts),
    };
    return info;
}

std::optional<QString> buildDateText(const QString& buildDate, std::uint8_t languageIndex)
{
    // Split as "%3s %2s %4s" splits it: blanks before a field are skipped, so " 3" is "3".
    const QByteArray text = buildDate.toLatin1();
    char month[4] = {};
    char day[3] = {};
    char year[5] = {};
    if (std::sscanf(text.constData(), wt::BuildDatePattern, month, day, year) != 3)
        return std::nullopt;
    std::size_t monthIndex = 0; // a month that is not known reads as January
    for (std::size_t i = 0; i < wt::MonthAbbreviations.size(); ++i)
        if (std::strcmp(month, wt::MonthAbbreviations[i]) == 0)
            monthIndex = i;
    return Text(wt::DateJoiner, languageIndex) + QString::fromLatin1(day) +
           Text(wt::MonthNames[monthIndex], languageIndex) + QString::fromLatin1(year) +
           Text(wt::YearSuffix, languageIndex);
}

std::optional<QString> versionLine(const QString& fileVersion, const QString& buildDate, std::uint8_t languageIndex)
{
    const std::optional<QString> date = buildDateText(buildDate, languageIndex);
    if (!date)
        return std::nullopt;
    return Text(wt::VersionPrefix, languageIndex) + fileVersion + *date;
}

TAboutBox::TAboutBox(QWidget* parent, const AboutInfo& info)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    auto* Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);
    Panel1->setAutoFillBackground(true);
    Panel1->setBackgroundRole(QPalette::Window);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setFixedSize(81, 65);
    ProgramIcon->setPixmap(programIconPicture());
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setCursor(Qt::PointingHandCursor);
    ProgramIcon->setToolTip(Text(wt::WebPageHint));
    ProgramIcon->installEventFilter(this);

    ProductName = new QLabel(Panel1);
    Version = new QLabel(QStringLiteral("Version"), Panel1);
    txtCopyright = new QLabel(QStringLiteral("Copyright"), Panel1);
    Comments = new QLabel(QString::fromUtf16(wt::PhonesCaptionDesign), Panel1);
    Comments->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1 = new QLabel(info.phones.join(u'\n'), Panel1);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label2 = new QLabel(QString::fromUtf16(wt::MultichannelNoteDesign), Panel1);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    LabelWWW = makeLink(info.web, Panel1);
    LabelWWW->setToolTip(Text(wt::WebPageHint));
    LabelWWW->installEventFilter(this);
    LabelEMail = makeLink(info.email, Panel1);
    LabelEMail->setToolTip(QString::fromUtf16(wt::EMailHint));
    LabelEMail->installEventFilter(this);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setMinimumSize(75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    // As drawn, in a grid that gives every text its room: the icon beside the product name and
    // the version, the legal notice below, the telephone caption, numbers and note side by side,
    // the two links on one line that they never share. 303 x 226 is the least.
    auto* grid = new QGridLayout(Panel1);
    grid->setContentsMargins(8, 2, 8, 8);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    grid->addWidget(ProgramIcon, 0, 0, 2, 1);
    grid->addWidget(ProductName, 0, 1, 1, 3, Qt::AlignBottom);
    grid->addWidget(Version, 1, 1, 1, 3, Qt::AlignTop);
    grid->addWidget(txtCopyright, 2, 0, 1, 4);
    grid->addWidget(Comments, 3, 0);
    grid->addWidget(Label1, 3, 1, 1, 2);
    grid->addWidget(Label2, 3, 3);
    grid->addWidget(LabelWWW, 4, 0, 1, 2);
    grid->addWidget(LabelEMail, 4, 2, 1, 2, Qt::AlignRight);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(3, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 12);
    layout->setSpacing(11);
    layout->addWidget(Panel1, 1);
    layout->addWidget(OKButton, 0, Qt::AlignHCenter);

    // FormCreate: caption and product name always; the rest only when the build date reads.
    setWindowTitle(Text(wt::AboutCaption));
    ProductName->setText(Text(wt::ProductNameText));
    if (const std::optional<QString> line = versionLine(info.fileVersion, info.buildDate, languageIndex())) {
        Comments->setText(Text(wt::PhonesCaption));
        Label2->setText(Text(wt::MultichannelNote));
        Version->setText(*line);
        txtCopyright->setText(info.legalNotice);
    }
    setFixedSize(layout->sizeHint().expandedTo(QSize(std::max(303, widthForCaption(this, windowTitle())), 226)));
}

QUrl TAboutBox::mailUrl() const
{
    return QUrl(QStringLiteral("mailto:") + LabelEMail->text() + QStringLiteral("?Subject=") +
                QString::fromUtf16(ApplicationTitle));
}

QUrl TAboutBox::webUrl() const
{
    return QUrl::fromUserInput(LabelWWW->text());
}

void TAboutBox::LabelEMailClick()
{
    // The desktop's mail program opens a new message; what it answers is not ours to judge.
    QDesktopServices::openUrl(mailUrl());
}

void TAboutBox::LabelWWWClick()
{
    QDesktopServices::openUrl(webUrl());
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == LabelEMail) {
            LabelEMailClick();
            return true;
        }
        if (watched == LabelWWW || watched == ProgramIcon) {
            LabelWWWClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace quilex

#include "app/logo_page.h"

#include "app/guard.h"
#include "app/main_window.h"
#include "app/picture_dialog.h"
#include "common/path_text.h"
#include "logos/logo_download.h"
#include "logos/picture_logo.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ordalia::app {

namespace {

constexpr int kTwipsPerPixel = 15;

QGroupBox* makeFrame(const char* name, const QString& caption, QWidget* parent) {
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(QString::fromLatin1(name));
    return frame;
}

QPushButton* makeButton(const char* name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

LogoPage::LogoPage(MainWindow& window, QWidget* parent)
    : QWidget(parent), m_window(window), m_buffers(makeLogoBuffers()) {
    auto* grid = new QGridLayout(this);

    m_ListView1 = new QTreeWidget(this);
    m_ListView1->setObjectName(QStringLiteral("ListView1"));
    m_ListView1->setRootIsDecorated(false);
    m_ListView1->setAccessibleName(QStringLiteral("Logo Files"));
    m_ListView1->setUniformRowHeights(true);
    QStringList headers;
    for (const LogoListColumn& column : kLogoListColumns)
        headers << toQString(column.text);
    m_ListView1->setHeaderLabels(headers);
    for (int c = 0; c < static_cast<int>(kLogoListColumns.size()); ++c)
        m_ListView1->setColumnWidth(c, kLogoListColumns[c].widthTwips / kTwipsPerPixel);

    auto* Logo_Add = makeButton("Logo_Add", QStringLiteral("Add"), this);
    auto* Logo_Clear = makeButton("Logo_Clear", QStringLiteral("Clear"), this);
    auto* ConvertPicture =
        makeButton("ConvertPicture", QString::fromUtf8("Convert Picture\u2026"), this);

    auto* Frame10 = makeFrame("Frame10", QStringLiteral("Caption"), this);
    auto* f10 = new QGridLayout(Frame10);
    m_Label3 = makeLabel("Label3", toQString(kInitialLogoCountText), Frame10);
    m_Label4 = makeLabel("Label4", toQString(kInitialLogoTotalText), Frame10);
    f10->addWidget(makeLabel("Label1", QStringLiteral("Logo Files :"), Frame10), 0, 0);
    f10->addWidget(m_Label3, 0, 1);
    f10->addWidget(makeLabel("Label2", QStringLiteral("Logo Total Size: "), Frame10), 1, 0);
    f10->addWidget(m_Label4, 1, 1);

    m_SSTab2 = new QTabWidget(this);
    m_SSTab2->setObjectName(QStringLiteral("SSTab2"));
    auto* preview = new QWidget(m_SSTab2);
    auto* pv = new QVBoxLayout(preview);
    m_Image1 = makeLabel("Image1", QString(), preview);
    m_Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_Image2 = makeLabel("Image2", QString(), preview);
    auto* Frame11 = makeFrame("Frame11", QStringLiteral("Logo Size"), preview);
    auto* f11 = new QGridLayout(Frame11);
    m_Label7 = makeLabel("Label7", QString(), Frame11);
    m_Label8 = makeLabel("Label8", QString(), Frame11);
    f11->addWidget(makeLabel("Label5", QStringLiteral(" Width :"), Frame11), 0, 0);
    f11->addWidget(m_Label7, 0, 1);
    f11->addWidget(makeLabel("Label6", QStringLiteral(" Height :"), Frame11), 1, 0);
    f11->addWidget(m_Label8, 1, 1);
    pv->addWidget(m_Image1, 1);
    pv->addWidget(m_Image2);
    pv->addWidget(Frame11);

    auto* send = new QWidget(m_SSTab2);
    auto* sv = new QVBoxLayout(send);
    auto* Frame12 = makeFrame("Frame12", QStringLiteral("Download"), send);
    auto* f12 = new QVBoxLayout(Frame12);
    auto* Download_Logo =
        makeButton("Download_Logo", QStringLiteral("Download  Logo  to  Printer"), Frame12);
    m_LogoProgressBar1 = new QProgressBar(Frame12);
    m_LogoProgressBar1->setObjectName(QStringLiteral("LogoProgressBar1"));
    m_LogoProgressBar1->setRange(0, 100);
    m_LogoProgressBar1->hide();
    m_LogoProgressBar1->setAccessibleName(QStringLiteral("Download  Logo  to  Printer"));
    m_progress = std::make_unique<QtProgressBar>(m_LogoProgressBar1);
    f12->addWidget(Download_Logo);
    f12->addWidget(m_LogoProgressBar1);
    auto* Frame13 = makeFrame("Frame13", QStringLiteral("Logo Print out"), send);
    auto* f13 = new QGridLayout(Frame13);
    m_logo_all = new QRadioButton(QStringLiteral("All"), Frame13);
    m_logo_all->setObjectName(QStringLiteral("logo_all"));
    m_logo_all->setChecked(true);
    m_logo_select = new QRadioButton(QStringLiteral("Select :"), Frame13);
    m_logo_select->setObjectName(QStringLiteral("logo_select"));
    m_logo_text = new QLineEdit(Frame13);
    m_logo_text->setObjectName(QStringLiteral("logo_text"));
    m_logo_text->setAccessibleName(m_logo_select->text());
    auto* Print_Logo = makeButton("Print_Logo", QStringLiteral("Print"), Frame13);
    f13->addWidget(m_logo_all, 0, 0);
    f13->addWidget(m_logo_select, 1, 0);
    f13->addWidget(m_logo_text, 1, 1);
    f13->addWidget(Print_Logo, 2, 0, 1, 2);
    sv->addWidget(Frame12);
    sv->addWidget(Frame13);
    sv->addStretch(1);

    m_SSTab2->addTab(preview, QStringLiteral("Logo  Preview"));
    m_SSTab2->addTab(send, QStringLiteral("Donwload / Print"));
    m_SSTab2->setCurrentIndex(1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Logo_Add);
    buttons->addWidget(ConvertPicture);
    buttons->addWidget(Logo_Clear);
    grid->addWidget(m_ListView1, 0, 0);
    grid->addLayout(buttons, 1, 0);
    grid->addWidget(Frame10, 2, 0);
    grid->addWidget(m_SSTab2, 0, 1, 3, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);

    connect(Logo_Add, &QPushButton::clicked, this, &LogoPage::Logo_Add_Click);
    connect(Logo_Clear, &QPushButton::clicked, this, &LogoPage::Logo_Clear_Click);
    connect(ConvertPicture, &QPushButton::clicked, this, &LogoPage::ConvertPicture_Click);
    connect(m_ListView1, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { ListView1_ItemClick(item); });
    connect(Download_Logo, &QPushButton::clicked, this, &LogoPage::Download_Logo_Click);
    connect(Print_Logo, &QPushButton::clicked, this, &LogoPage::Print_Logo_Click);
}

LogoPage::~LogoPage() = default;

void LogoPage::showLibrary() {
    m_ListView1->clear();
    for (const LogoListRow& row : m_library.rows()) {
        auto* item = new QTreeWidgetItem(m_ListView1);
        for (int c = 0; c < static_cast<int>(kLogoListColumns.size()); ++c)
            item->setText(c, toQString(row.subItem(kLogoListColumns[c].key)));
    }
    m_Label3->setText(toQString(m_library.Label3()));
    m_Label4->setText(toQString(m_library.Label4()));
}

void LogoPage::resetPreview() {
    m_Image1->clear();
    m_Image1->setFixedSize(kPreviewEmptyWidthTwips / kTwipsPerPixel,
                           kPreviewEmptyHeightTwips / kTwipsPerPixel);
    m_Label7->clear();
    m_Label8->clear();
}

void LogoPage::LoadLogoList() {
    guardedClick(m_window.services(), [&] {
        m_library = LogoLibrary{};
        ordalia::LoadLogoList(m_window.services(), m_library);
        showLibrary();
        resetPreview();
    });
}

void LogoPage::Logo_Add_Click() {
    guardedClick(m_window.services(), [&] {
        if (ordalia::Logo_Add_Click(m_window.services(), m_library, *m_buffers) == Outcome::Done)
            showLibrary();
    });
}

void LogoPage::ConvertPicture_Click() {
    const Services& services = m_window.services();
    guardedClick(services, [&] {
        FileDialogRequest request;
        request.filter = kPictureFileFilter;
        request.initialFolder = services.programFolder;
        const auto chosen = services.dialogs.openFile(request);
        if (!chosen)
            return;
        PictureRead read = readPicture(chosen->fullPath);
        if (!read.picture) {
            services.dialogs.message(read.message);
            return;
        }
        PictureLogoRequest room;
        room.width = defaultLogoWidth(*read.picture, services.programFolder);
        room.totalRoom = kMaxLogoTotalSize - m_library.LogoTotalSize;
        room.sendRoom = downloadRoom(m_library);
        PictureDialog dialog(std::move(*read.picture), room, toQString(chosen->name), this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        if (addPictureLogo(services, m_library, *m_buffers, dialog.logo(), chosen->fullPath) ==
            Outcome::Done)
            showLibrary();
    });
}

void LogoPage::Logo_Clear_Click() {
    guardedClick(m_window.services(), [&] {
        if (ordalia::Logo_Clear_Click(m_window.services(), m_library) == Outcome::Done) {
            showLibrary();
            resetPreview();
        }
    });
}

void LogoPage::ListView1_ItemClick(QTreeWidgetItem* item) {
    if (item)
        guardedClick(m_window.services(), [&] { showPreview(item); });
}

void LogoPage::showPreview(QTreeWidgetItem* item) {
    const LogoPreview preview =
        ordalia::ListView1_ItemClick(m_window.services(), toStdString(item->text(0)));
    if (preview.outcome == Outcome::Nothing)
        return;
    // A bitmap that is gone (the message has been shown) leaves an empty
    // preview; the labels still tell the size the list recorded.
    QPixmap picture;
    if (preview.outcome == Outcome::Done &&
        !picture.load(QString::fromStdU16String(preview.picture.u16string())))
        m_window.services().dialogs.message("The bitmap " + pathForMessage(preview.picture) +
                                            " cannot be shown: it is not a picture this "
                                            "program can read.");
    if (picture.isNull()) {
        resetPreview();
    } else if (preview.stretch) {
        const QSize size(preview.widthTwips / kTwipsPerPixel, preview.heightTwips / kTwipsPerPixel);
        m_Image1->setFixedSize(size);
        m_Image1->setPixmap(picture.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    } else {
        m_Image1->setFixedSize(picture.size());
        m_Image1->setPixmap(picture);
    }
    m_Label7->setText(toQString(preview.Label7));
    m_Label8->setText(toQString(preview.Label8));
    m_SSTab2->setCurrentIndex(0);
}

void LogoPage::Download_Logo_Click() {
    guardedClick(m_window.services(), [&] {
        ordalia::Download_Logo_Click(m_window.services(), m_window.linkChoice(), *m_buffers,
                                     m_library.LogoCount, *m_progress);
    });
}

void LogoPage::Print_Logo_Click() {
    guardedClick(m_window.services(), [&] {
        ordalia::Print_Logo_Click(m_window.services(), m_window.linkChoice(), m_library.LogoCount,
                                  m_logo_all->isChecked(), toStdString(m_logo_text->text()));
    });
}

} // namespace ordalia::app

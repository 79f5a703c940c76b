#include "app/code_page_page.h"

#include "app/guard.h"
#include "app/main_window.h"
#include "codepages/code_page_image.h"
#include "codepages/font_download.h"
#include "compound/burn_file.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace ordalia::app {

namespace {

// Control arrays keep their index in the name: "Pos_CP(2)".
QString arrayName(const char* name, std::size_t index) {
    return QStringLiteral("%1(%2)").arg(QString::fromLatin1(name)).arg(index);
}

} // namespace

CodePagePage::CodePagePage(MainWindow& window, QWidget* parent)
    : QWidget(parent), m_window(window) {
    auto* grid = new QGridLayout(this);
    grid->addWidget(makeLabel("Label17", QStringLiteral("Code Page Table"), this), 0, 0, 1, 4);
    grid->addWidget(makeLabel("Label16", QStringLiteral("No."), this), 1, 0);
    grid->addWidget(makeLabel("Label18", QStringLiteral("Pos."), this), 1, 1);

    const CodePageSlots defaults = defaultCodePageSlots();
    for (std::size_t i = 0; i < kCodePageSlotCount; ++i) {
        const int row = static_cast<int>(i) + 2;
        auto* label = makeLabel("", toQString(kSlotCaptions[i]), this);
        label->setObjectName(arrayName("CP_Label", i));
        m_Pos_CP[i] = new QLineEdit(toQString(defaults.Pos_CP[i]), this);
        m_Pos_CP[i]->setObjectName(arrayName("Pos_CP", i));
        m_Pos_CP[i]->setMaximumWidth(60);
        // Announced by row: "3rd Pos.", "3rd code page".
        m_Pos_CP[i]->setAccessibleName(label->text() + QStringLiteral(" Pos."));
        m_Text_CP[i] = new QLineEdit(toQString(defaults.Text_CP[i]), this);
        m_Text_CP[i]->setObjectName(arrayName("Text_CP", i));
        m_Text_CP[i]->setMaxLength(30);
        m_Text_CP[i]->setEnabled(false);
        m_Text_CP[i]->setAccessibleName(label->text() + QStringLiteral(" code page"));
        auto* change = makePushButton(arrayName("Change_Cp", i),
                                      QStringLiteral("Change Table %1").arg(i), this);
        grid->addWidget(label, row, 0);
        grid->addWidget(m_Pos_CP[i], row, 1);
        grid->addWidget(m_Text_CP[i], row, 2);
        grid->addWidget(change, row, 3);
        connect(change, &QPushButton::clicked, this, [this, i] { Change_Cp_Click(int(i)); });
    }
    // Table 0 is the printer's default and stays where it is.
    m_Pos_CP[0]->setEnabled(false);
    m_Pos_CP[0]->setMaxLength(3);

    grid->addWidget(
        makeLabel("Label24", QStringLiteral("The \"Pos.\" is modified by Decimal System."), this),
        8, 0, 1, 4);
    grid->addWidget(
        makeLabel(
            "Label25",
            QStringLiteral("Please refer to ESC/POS commnand :  <ESC> < t > < n > ; n = 0 ~ 255."),
            this),
        9, 0, 1, 4);
    grid->addWidget(
        makeLabel("Label26", QStringLiteral("1st position Should be 0 for default setting."), this),
        10, 0, 1, 4);

    auto* Font_Updata =
        makePushButton(QStringLiteral("Font_Updata"), QStringLiteral("Download to Printer"), this);
    m_Font_ProgressBar = makeProgressBar("Font_ProgressBar", this);
    m_Font_Label = makeLabel("Font_Label", QString(), this);
    m_Font_Label->hide();
    m_Font_ProgressBar->setAccessibleName(Font_Updata->text());
    m_fontStatus = std::make_unique<QtStatusLabel>(m_Font_Label);
    m_fontProgress = std::make_unique<QtProgressBar>(m_Font_ProgressBar);
    grid->addWidget(Font_Updata, 11, 0, 1, 2);
    grid->addWidget(m_Font_ProgressBar, 11, 2, 1, 2);
    grid->addWidget(m_Font_Label, 12, 0, 1, 4);

    // The burn file's controls: built, hidden, never shown.
    auto* Command2 = makePushButton(QStringLiteral("Command2"),
                                    QString::fromUtf8("\xE8\xA3\xBD\xE4\xBD\x9C\xE7\x87\x92\xE9\x8C"
                                                      "\x84\xE6\xAA\x94"),
                                    this);
    auto* Command3 =
        makePushButton(QStringLiteral("Command3"), QStringLiteral("open source"), this);
    m_source_Text = new QLineEdit(this);
    m_source_Text->setObjectName(QStringLiteral("source_Text"));
    auto* Label21 = makeLabel("Label21", QStringLiteral("output.a79"), this);
    auto* Frame17 = new QGroupBox(QStringLiteral("Modify Name :"), this);
    Frame17->setObjectName(QStringLiteral("Frame17"));
    auto* f17 = new QHBoxLayout(Frame17);
    m_model_name = new QLineEdit(toQString(defaults.model_name), Frame17);
    m_model_name->setObjectName(QStringLiteral("model_name"));
    m_model_name->setMaxLength(15);
    m_model_name->setAccessibleName(Frame17->title());
    m_source_Text->setAccessibleName(Command3->text());
    f17->addWidget(m_model_name);
    f17->addWidget(makeLabel("Label22", QStringLiteral("Maximum = 15 Character."), Frame17));
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{Command2, Command3, m_source_Text, Label21, Frame17})
        hidden->hide();
    grid->setRowStretch(13, 1);

    connect(Font_Updata, &QPushButton::clicked, this, &CodePagePage::Font_Updata_Click);
    connect(Command2, &QPushButton::clicked, this, &CodePagePage::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &CodePagePage::Command3_Click);
}

CodePagePage::~CodePagePage() = default;

CodePageSlots CodePagePage::codePageSlots() const {
    CodePageSlots s;
    for (std::size_t i = 0; i < kCodePageSlotCount; ++i) {
        s.Pos_CP[i] = toStdString(m_Pos_CP[i]->text());
        s.Text_CP[i] = toStdString(m_Text_CP[i]->text());
    }
    s.model_name = toStdString(m_model_name->text());
    return s;
}

void CodePagePage::showSlots(const CodePageSlots& s) {
    for (std::size_t i = 0; i < kCodePageSlotCount; ++i) {
        m_Pos_CP[i]->setText(toQString(s.Pos_CP[i]));
        m_Text_CP[i]->setText(toQString(s.Text_CP[i]));
    }
    m_model_name->setText(toQString(s.model_name));
}

void CodePagePage::showLoadedSlots(const CodePageSlots& s) {
    showSlots(s);
    m_source_Text->clear();
}

void CodePagePage::Change_Cp_Click(int index) {
    guardedClick(m_window.services(), [&] {
        const CodePageChoice choice = ordalia::Change_Cp_Click(m_window.services());
        if (choice.outcome == Outcome::Done)
            m_Text_CP[static_cast<std::size_t>(index)]->setText(toQString(choice.Text_CP));
    });
}

void CodePagePage::Font_Updata_Click() {
    guardedClick(m_window.services(), [&] {
        downloadFonts(m_window.services(), m_window.linkChoice(), codePageSlots(), *m_fontStatus,
                      *m_fontProgress);
    });
}

void CodePagePage::Command3_Click() {
    guardedClick(m_window.services(), [&] {
        const BurnSourceChoice choice = chooseBurnSource(m_window.services());
        if (choice.outcome == Outcome::Done)
            m_source_Text->setText(toQString(choice.source_Text));
    });
}

void CodePagePage::Command2_Click() {
    guardedClick(m_window.services(), [&] {
        BurnFileRequest request;
        request.source_Text = toStdString(m_source_Text->text());
        request.sourcePath = m_window.commonDialogFile();
        const CodePageSlots current = codePageSlots();
        makeBurnFile(m_window.services(), request,
                     [this, current]() -> std::optional<BurnCodePageImage> {
                         return checkAndBuildCodePageImage(m_window.services(), current);
                     });
    });
}

} // namespace ordalia::app

#include "app/font_page.h"

#include "app/main_window.h"
#include "codepages/code_page_image.h"
#include "codepages/font_download.h"
#include "compound/burn_file.h"
#include "compound/compound_download.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace ordalia::app {

namespace {

QPushButton* makeButton(const QString& name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

QProgressBar* makeBar(const char* name, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setRange(0, 100);
    bar->hide();
    return bar;
}

QString arrayName(const char* name, std::size_t index) {
    return QStringLiteral("%1(%2)").arg(QString::fromLatin1(name)).arg(index);
}

} // namespace

FontPage::FontPage(MainWindow& window, QWidget* parent) : QWidget(parent), m_window(window) {
    auto* layout = new QVBoxLayout(this);
    m_SSTab3 = new QTabWidget(this);
    m_SSTab3->setObjectName(QStringLiteral("SSTab3"));
    m_SSTab3->addTab(buildCodePageTab(), QStringLiteral("Code Page Table"));
    m_SSTab3->addTab(buildCompoundTab(), QStringLiteral("Compound Word"));
    m_SSTab3->setCurrentIndex(0);
    layout->addWidget(m_SSTab3);
    connect(m_SSTab3, &QTabWidget::currentChanged, this, [this](int) { SSTab3_Click(); });
}

FontPage::~FontPage() = default;

QWidget* FontPage::buildCodePageTab() {
    auto* tab = new QWidget(m_SSTab3);
    auto* grid = new QGridLayout(tab);
    grid->addWidget(makeLabel("Label17", QStringLiteral("Code Page Table"), tab), 0, 0, 1, 4);
    grid->addWidget(makeLabel("Label16", QStringLiteral("No."), tab), 1, 0);
    grid->addWidget(makeLabel("Label18", QStringLiteral("Pos."), tab), 1, 1);

    const CodePageSlots defaults = defaultCodePageSlots();
    for (std::size_t i = 0; i < kCodePageSlotCount; ++i) {
        const int row = static_cast<int>(i) + 2;
        auto* label = new QLabel(toQString(kSlotCaptions[i]), tab);
        label->setObjectName(arrayName("CP_Label", i));
        label->setTextFormat(Qt::PlainText);
        m_Pos_CP[i] = new QLineEdit(toQString(defaults.Pos_CP[i]), tab);
        m_Pos_CP[i]->setObjectName(arrayName("Pos_CP", i));
        m_Pos_CP[i]->setMaximumWidth(60);
        m_Text_CP[i] = new QLineEdit(toQString(defaults.Text_CP[i]), tab);
        m_Text_CP[i]->setObjectName(arrayName("Text_CP", i));
        m_Text_CP[i]->setMaxLength(30);
        m_Text_CP[i]->setEnabled(false);
        auto* change =
            makeButton(arrayName("Change_Cp", i), QStringLiteral("Change Table %1").arg(i), tab);
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
        makeLabel("Label24", QStringLiteral("The \"Pos.\" is modified by Decimal System."), tab), 8,
        0, 1, 4);
    grid->addWidget(
        makeLabel(
            "Label25",
            QStringLiteral("Please refer to ESC/POS commnand :  <ESC> < t > < n > ; n = 0 ~ 255."),
            tab),
        9, 0, 1, 4);
    grid->addWidget(
        makeLabel("Label26", QStringLiteral("1st position Should be 0 for default setting."), tab),
        10, 0, 1, 4);

    auto* Font_Updata =
        makeButton(QStringLiteral("Font_Updata"), QStringLiteral("Download to Printer"), tab);
    m_Font_ProgressBar = makeBar("Font_ProgressBar", tab);
    m_Font_Label = makeLabel("Font_Label", QString(), tab);
    m_Font_Label->hide();
    m_fontStatus = std::make_unique<QtStatusLabel>(m_Font_Label);
    m_fontProgress = std::make_unique<QtProgressBar>(m_Font_ProgressBar);
    grid->addWidget(Font_Updata, 11, 0, 1, 2);
    grid->addWidget(m_Font_ProgressBar, 11, 2, 1, 2);
    grid->addWidget(m_Font_Label, 12, 0, 1, 4);

    // The burn file's controls: built, hidden, never shown.
    auto* Command2 = makeButton(QStringLiteral("Command2"),
                                QString::fromUtf8("\xE8\xA3\xBD\xE4\xBD\x9C\xE7\x87\x92\xE9\x8C"
                                                  "\x84\xE6\xAA\x94"),
                                tab);
    auto* Command3 = makeButton(QStringLiteral("Command3"), QStringLiteral("open source"), tab);
    m_source_Text = new QLineEdit(tab);
    m_source_Text->setObjectName(QStringLiteral("source_Text"));
    auto* Label21 = makeLabel("Label21", QStringLiteral("output.a79"), tab);
    auto* Frame17 = new QGroupBox(QStringLiteral("Modify Name :"), tab);
    Frame17->setObjectName(QStringLiteral("Frame17"));
    auto* f17 = new QHBoxLayout(Frame17);
    m_model_name = new QLineEdit(toQString(defaults.model_name), Frame17);
    m_model_name->setObjectName(QStringLiteral("model_name"));
    m_model_name->setMaxLength(15);
    f17->addWidget(m_model_name);
    f17->addWidget(makeLabel("Label22", QStringLiteral("Maximum = 15 Character."), Frame17));
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{Command2, Command3, m_source_Text, Label21, Frame17})
        hidden->hide();
    grid->setRowStretch(13, 1);

    connect(Font_Updata, &QPushButton::clicked, this, &FontPage::Font_Updata_Click);
    connect(Command2, &QPushButton::clicked, this, &FontPage::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &FontPage::Command3_Click);
    return tab;
}

QWidget* FontPage::buildCompoundTab() {
    auto* tab = new QWidget(m_SSTab3);
    auto* v = new QVBoxLayout(tab);
    auto* open_com =
        makeButton(QStringLiteral("open_com"), QStringLiteral("Open Compound File"), tab);
    m_com_Text = new QLineEdit(tab);
    m_com_Text->setObjectName(QStringLiteral("com_Text"));
    m_com_Text->setEnabled(false);
    m_com_Text->hide();
    auto* com_download =
        makeButton(QStringLiteral("com_download"), QStringLiteral("Download To Printer"), tab);
    m_com_ProgressBar = makeBar("com_ProgressBar", tab);
    m_com_Label = makeLabel("com_Label", QString(), tab);
    m_com_Label->hide();
    m_comStatus = std::make_unique<QtStatusLabel>(m_com_Label);
    m_comProgress = std::make_unique<QtProgressBar>(m_com_ProgressBar);
    v->addWidget(open_com);
    v->addWidget(m_com_Text);
    v->addWidget(com_download);
    v->addWidget(m_com_ProgressBar);
    v->addWidget(m_com_Label);
    v->addWidget(makeLabel(
        "Label20", QStringLiteral("The \"Compound Word\" is only for GB2312,Big5,JISx0208,Korean."),
        tab));
    v->addWidget(
        makeLabel("Label19", QStringLiteral("Please refer to ESC/POS commnand : <FS> < ! >"), tab));
    v->addStretch(1);
    connect(open_com, &QPushButton::clicked, this, &FontPage::open_com_Click);
    connect(com_download, &QPushButton::clicked, this, &FontPage::com_download_Click);
    return tab;
}

CodePageSlots FontPage::codePageSlots() const {
    CodePageSlots s;
    for (std::size_t i = 0; i < kCodePageSlotCount; ++i) {
        s.Pos_CP[i] = toStdString(m_Pos_CP[i]->text());
        s.Text_CP[i] = toStdString(m_Text_CP[i]->text());
    }
    s.model_name = toStdString(m_model_name->text());
    return s;
}

void FontPage::showSlots(const CodePageSlots& s) {
    for (std::size_t i = 0; i < kCodePageSlotCount; ++i) {
        m_Pos_CP[i]->setText(toQString(s.Pos_CP[i]));
        m_Text_CP[i]->setText(toQString(s.Text_CP[i]));
    }
    m_model_name->setText(toQString(s.model_name));
}

void FontPage::SSTab3_Click() {
    const CodePageTabLoad load =
        ordalia::SSTab3_Click(m_window.services(), m_SSTab3->currentIndex());
    if (load.outcome != Outcome::Done)
        return;
    showSlots(load.slots);
    m_source_Text->clear();
}

void FontPage::Change_Cp_Click(int index) {
    const CodePageChoice choice = ordalia::Change_Cp_Click(m_window.services());
    if (choice.outcome == Outcome::Done)
        m_Text_CP[static_cast<std::size_t>(index)]->setText(toQString(choice.Text_CP));
}

void FontPage::Font_Updata_Click() {
    downloadFonts(m_window.services(), m_window.linkChoice(), codePageSlots(), *m_fontStatus,
                  *m_fontProgress);
}

void FontPage::open_com_Click() {
    const CompoundFileChoice choice = openCompoundFile(m_window.services(), m_compound);
    if (choice.outcome != Outcome::Done)
        return;
    m_com_Text->setText(toQString(choice.com_Text));
    m_com_Text->show();
}

void FontPage::com_download_Click() {
    downloadCompound(m_window.services(), m_window.linkChoice(), m_compound, *m_comStatus,
                     *m_comProgress);
}

void FontPage::Command3_Click() {
    const BurnSourceChoice choice = chooseBurnSource(m_window.services());
    if (choice.outcome == Outcome::Done)
        m_source_Text->setText(toQString(choice.source_Text));
}

void FontPage::Command2_Click() {
    BurnFileRequest request;
    request.source_Text = toStdString(m_source_Text->text());
    request.sourcePath = m_window.commonDialogFile();
    const CodePageSlots current = codePageSlots();
    makeBurnFile(m_window.services(), request,
                 [this, current]() -> std::optional<BurnCodePageImage> {
                     return checkAndBuildCodePageImage(m_window.services(), current);
                 });
}

} // namespace ordalia::app

#include "app/picture_dialog.h"

#include "app/main_window.h"
#include "app/qt_ui.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>

namespace ordalia::app {

namespace {

// The threshold a picture is cut at when the user first picks one.
constexpr int kMiddleGrey = 128;

QImage dotImage(const DotPicture& dots) {
    QImage image(dots.width, dots.height, QImage::Format_Mono);
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    for (int y = 0; y < dots.height; ++y)
        for (int x = 0; x < dots.width; ++x)
            image.setPixel(x, y,
                           dots.dots[std::size_t(y) * std::size_t(dots.width) + std::size_t(x)]);
    return image;
}

} // namespace

PictureDialog::PictureDialog(GreyPicture picture, const PictureLogoRequest& room,
                             const QString& name, QWidget* parent)
    : QDialog(parent), m_picture(std::move(picture)), m_room(room) {
    setObjectName(QStringLiteral("PictureDialog"));
    setWindowTitle(QStringLiteral("Convert Picture - ") + name);
    auto* grid = new QGridLayout(this);

    m_preview = makeLabel("PicturePreview", QString(), this);
    m_preview->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(m_preview);
    scroll->setWidgetResizable(false);
    scroll->setMinimumSize(400, 300);
    m_size = makeLabel("PictureSize", QString(), this);
    m_size->setWordWrap(true);

    m_width = new QSpinBox(this);
    m_width->setObjectName(QStringLiteral("PictureWidth"));
    m_width->setRange(1, kMaxLogoWidth);
    m_width->setValue(room.width);
    m_width->setSuffix(QStringLiteral(" dots"));
    auto* widthLabel = makeLabel("PictureWidthLabel", QStringLiteral("Width :"), this);
    widthLabel->setBuddy(m_width);

    m_dither = new QRadioButton(QStringLiteral("Dither"), this);
    m_dither->setObjectName(QStringLiteral("PictureDither"));
    m_dither->setChecked(true);
    m_threshold = new QRadioButton(QStringLiteral("Threshold :"), this);
    m_threshold->setObjectName(QStringLiteral("PictureThreshold"));
    m_thresholdValue = new QSpinBox(this);
    m_thresholdValue->setObjectName(QStringLiteral("PictureThresholdValue"));
    m_thresholdValue->setRange(0, 255);
    m_thresholdValue->setValue(kMiddleGrey);
    m_thresholdValue->setEnabled(false);
    m_thresholdValue->setAccessibleName(m_threshold->text());

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    grid->addWidget(scroll, 0, 0, 1, 4);
    grid->addWidget(m_size, 1, 0, 1, 4);
    grid->addWidget(widthLabel, 2, 0);
    grid->addWidget(m_width, 2, 1);
    grid->addWidget(m_dither, 3, 0);
    grid->addWidget(m_threshold, 3, 1);
    grid->addWidget(m_thresholdValue, 3, 2);
    grid->addWidget(m_buttons, 4, 0, 1, 4);

    connect(m_width, &QSpinBox::valueChanged, this, &PictureDialog::convert);
    connect(m_thresholdValue, &QSpinBox::valueChanged, this, &PictureDialog::convert);
    connect(m_threshold, &QRadioButton::toggled, m_thresholdValue, &QSpinBox::setEnabled);
    connect(m_threshold, &QRadioButton::toggled, this, &PictureDialog::convert);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    convert();
}

void PictureDialog::convert() {
    PictureLogoRequest request = m_room;
    request.width = m_width->value();
    request.threshold.reset();
    if (m_threshold->isChecked())
        request.threshold = m_thresholdValue->value();
    m_logo = makePictureLogo(m_picture, request);
    const bool made = m_logo.outcome == Outcome::Done;
    if (made) {
        m_preview->setPixmap(QPixmap::fromImage(dotImage(m_logo.dots)));
        m_size->setText(QStringLiteral("Width : %1   Height : %2   Size : %3 bytes")
                            .arg(m_logo.dots.width)
                            .arg(m_logo.dots.height)
                            .arg(m_logo.bmp.size()));
    } else {
        m_preview->setPixmap(QPixmap());
        m_size->setText(toQString(m_logo.message));
    }
    m_preview->adjustSize();
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(made);
}

} // namespace ordalia::app

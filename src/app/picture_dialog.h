#pragma once

#include "logos/picture_logo.h"

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QRadioButton;
class QSpinBox;

namespace ordalia::app {

// "Convert Picture": a picture as the logo it becomes, one screen pixel a
// printer dot, with its size in dots and bytes. The width and the choice of
// diffused dots or a threshold redraw it; OK is offered only for a logo that
// fits.
class PictureDialog : public QDialog {
    Q_OBJECT
public:
    // `room`: the width shown first, and what the listed logos leave of the
    // 128K total and of the download.
    PictureDialog(GreyPicture picture, const PictureLogoRequest& room, const QString& name,
                  QWidget* parent);

    // The logo as shown; Refused when the settings give none.
    const PictureLogo& logo() const { return m_logo; }

private Q_SLOTS:
    void convert();

private:
    GreyPicture m_picture;
    PictureLogoRequest m_room;
    PictureLogo m_logo;

    QLabel* m_preview = nullptr;
    QLabel* m_size = nullptr;
    QSpinBox* m_width = nullptr;
    QRadioButton* m_dither = nullptr;
    QRadioButton* m_threshold = nullptr;
    QSpinBox* m_thresholdValue = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

} // namespace ordalia::app

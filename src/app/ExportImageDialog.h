// File › "Export Image...": asks for the picture's size (the view's own, or one typed in)
// and then, in the save dialog, for a PNG file name.
#pragma once

#include <QDialog>
#include <QSize>
#include <QString>

#include <optional>

class QRadioButton;
class QSpinBox;

namespace trimeo {

class ExportImageDialog : public QDialog {
    Q_OBJECT
public:
    // `viewSize`: the view's size in pixels, offered first.
    ExportImageDialog(QSize viewSize, QWidget* parent = nullptr);

    QSize chosenSize() const;
    void setCustomSize(QSize size); // selects the typed-in size

    // The whole exchange: the size, then the file; nothing when cancelled. A name without
    // an extension gets ".png".
    struct Choice {
        QSize size;
        QString path;
    };
    static std::optional<Choice> ask(QSize viewSize, const QString& suggestedPath, QWidget* parent);

private:
    QSize viewSize_;
    QRadioButton* viewSizeButton_;
    QRadioButton* customButton_;
    QSpinBox* width_;
    QSpinBox* height_;
};

} // namespace trimeo

#include "ExportImageDialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace trimeo {

ExportImageDialog::ExportImageDialog(QSize viewSize, QWidget* parent) : QDialog(parent), viewSize_(viewSize) {
    setWindowTitle(tr("Export Image"));
    auto* layout = new QVBoxLayout(this);
    viewSizeButton_ =
        new QRadioButton(tr("Size of the view (%1 × %2)").arg(viewSize.width()).arg(viewSize.height()), this);
    customButton_ = new QRadioButton(tr("Other size:"), this);
    viewSizeButton_->setChecked(true);
    layout->addWidget(viewSizeButton_);
    auto* custom = new QHBoxLayout;
    custom->addWidget(customButton_);
    // The largest framebuffer side GL guarantees to our renderer's targets.
    width_ = new QSpinBox(this);
    height_ = new QSpinBox(this);
    for (QSpinBox* box : {width_, height_}) {
        box->setRange(1, 16384);
        box->setSuffix(tr(" px"));
        connect(box, &QSpinBox::valueChanged, customButton_, [this] { customButton_->setChecked(true); });
    }
    width_->setValue(std::max(1, viewSize.width()));
    height_->setValue(std::max(1, viewSize.height()));
    width_->setAccessibleName(tr("Width"));
    height_->setAccessibleName(tr("Height"));
    custom->addWidget(width_);
    custom->addWidget(new QLabel(QStringLiteral("×"), this));
    custom->addWidget(height_);
    layout->addLayout(custom);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QSize ExportImageDialog::chosenSize() const {
    return customButton_->isChecked() ? QSize(width_->value(), height_->value()) : viewSize_;
}

void ExportImageDialog::setCustomSize(QSize size) {
    width_->setValue(size.width());
    height_->setValue(size.height());
    customButton_->setChecked(true);
}

std::optional<ExportImageDialog::Choice> ExportImageDialog::ask(QSize viewSize, const QString& suggestedPath,
                                                                QWidget* parent) {
    ExportImageDialog dialog(viewSize, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    QString path = QFileDialog::getSaveFileName(parent, tr("Export Image"), suggestedPath, tr("PNG image (*.png)"));
    if (path.isEmpty()) return std::nullopt;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".png");
    return Choice{dialog.chosenSize(), path};
}

} // namespace trimeo

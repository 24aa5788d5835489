#include "ModelDisplay.h"

#include "DisplayStyle.h"

#include <QLabel>
#include <QProgressBar>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace trimeo {

namespace {
QWidget* makeLoadingOverlay(QWidget* parent) {
    auto* overlay = new QWidget(parent);
    overlay->setObjectName(QStringLiteral("loadingOverlay"));
    overlay->setAutoFillBackground(true); // opaque, in the window's background colour
    overlay->setBackgroundRole(QPalette::Window);

    auto* layout = new QVBoxLayout(overlay);
    layout->setSpacing(12);
    layout->addStretch();
    auto* progress = new QProgressBar(overlay);
    progress->setRange(0, 0); // indeterminate
    progress->setTextVisible(false);
    progress->setFixedSize(progress->sizeHint() * 1.5);
    layout->addWidget(progress, 0, Qt::AlignHCenter);
    QLabel* text = plainLabel(ModelDisplay::tr("Loading model..."), overlay);
    text->setFont(captionFont(overlay));
    showInSecondaryColor(text);
    layout->addWidget(text, 0, Qt::AlignHCenter);
    layout->addStretch();
    return overlay;
}
} // namespace

ModelDisplay::ModelDisplay(QWidget* parent) : QWidget(parent) {
    layers_ = new QStackedLayout(this);
    layers_->setStackingMode(QStackedLayout::StackAll);
    overlay_ = makeLoadingOverlay(this);
    layers_->addWidget(overlay_);
}

void ModelDisplay::setViewport(QWidget* viewport) {
    layers_->addWidget(viewport);
    viewport->show();
    overlay_->raise();
}

void ModelDisplay::removeViewport(QWidget* viewport) {
    layers_->removeWidget(viewport);
    viewport->hide();
}

void ModelDisplay::setLoading(bool loading) {
    overlay_->setVisible(loading);
    if (loading) overlay_->raise();
}

bool ModelDisplay::isLoadingShown() const { return !overlay_->isHidden(); }

} // namespace trimeo

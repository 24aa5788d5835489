// What the window shows for an open file: the viewport, covered by the loading overlay
// ("Loading model...") while the model loads. Holds at most one visible viewport.
#pragma once

#include <QWidget>

class QStackedLayout;

namespace trimeo {

class ModelDisplay : public QWidget {
    Q_OBJECT
public:
    explicit ModelDisplay(QWidget* parent = nullptr);

    // Puts `viewport` (now a child of this display) under the overlay.
    void setViewport(QWidget* viewport);
    // Takes `viewport` out of view; it stays a child until its owner deletes it.
    void removeViewport(QWidget* viewport);
    void setLoading(bool loading);
    bool isLoadingShown() const;

private:
    QStackedLayout* layers_;
    QWidget* overlay_;
};

} // namespace trimeo

// The inspector: a side panel with what is known about the open model. File name, size
// and format; counts of nodes, meshes, vertices, triangles, materials and textures; the
// animations; size, surface area and volume in the file's own units; watertightness; how
// long the load took. The counts are taken at once; size, area, volume and watertightness
// are measured on a worker thread and filled in when ready, so a big model never holds up
// the window.
#pragma once

#include <QDockWidget>
#include <QUrl>

#include <memory>
#include <string>
#include <vector>

class QFormLayout;
class QLabel;

namespace trimeo {

namespace scene {
struct Scene;
}

class InspectorPanel : public QDockWidget {
    Q_OBJECT
public:
    explicit InspectorPanel(QWidget* parent = nullptr);

    // Describes the presented scene's model (its "modelContainer") and the load's animations.
    // `loadSeconds` below 0: not known.
    void showModel(const QUrl& file, qint64 fileBytes, std::shared_ptr<const scene::Scene> presented,
                   const std::vector<std::string>& animationNames, double loadSeconds);
    // Back to the empty panel ("No model").
    void clear();

    // The text shown for a figure, by its row title ("Triangles", "Volume"...); empty when
    // there is no such row. For tests.
    QString figure(const QString& title) const;
    // True while the worker is still measuring the model.
    bool isMeasuring() const { return measuring_; }

signals:
    void measured();

private:
    QLabel* row(const QString& title);

    QFormLayout* form_;
    std::vector<std::pair<QString, QLabel*>> rows_;
    quint64 generation_ = 0; // a late measurement of an earlier model is dropped
    bool measuring_ = false;
};

} // namespace trimeo

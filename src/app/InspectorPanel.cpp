#include "InspectorPanel.h"

#include "loading/FormatTable.h"
#include "loading/ModelLoader.h"
#include "scene/LengthUnit.h"
#include "viewport/ModelStatistics.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QThreadPool>

namespace trimeo {
namespace {

const char* const kTitles[] = {"File",     "Size",     "Format",     "Nodes",        "Meshes",
                               "Vertices", "Triangles", "Materials", "Textures",     "Animations",
                               "Dimensions", "Surface area", "Volume", "Watertight", "Load time"};

QString number(double value) { return QLocale().toString(value, 'g', 6); }
QString count(std::size_t value) { return QLocale().toString(qulonglong(value)); }

const scene::Node* containerOf(const scene::Scene& presented) {
    for (const scene::Node::Ptr& child : presented.rootNode->childNodes())
        if (child->name == "modelContainer") return child.get();
    return nullptr;
}

} // namespace

InspectorPanel::InspectorPanel(QWidget* parent) : QDockWidget(tr("Inspector"), parent) {
    setObjectName(QStringLiteral("inspector"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    auto* body = new QWidget(this);
    form_ = new QFormLayout(body);
    form_->setLabelAlignment(Qt::AlignRight);
    for (const char* title : kTitles) {
        auto* value = new QLabel(body);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setWordWrap(true);
        form_->addRow(tr(title), value);
        rows_.emplace_back(QString::fromLatin1(title), value);
    }
    setWidget(body);
    clear();
}

QLabel* InspectorPanel::row(const QString& title) {
    for (auto& [name, label] : rows_)
        if (name == title) return label;
    return nullptr;
}

QString InspectorPanel::figure(const QString& title) const {
    for (const auto& [name, label] : rows_)
        if (name == title) return label->text();
    return {};
}

void InspectorPanel::clear() {
    ++generation_;
    measuring_ = false;
    for (auto& [name, label] : rows_) label->clear();
    row(QStringLiteral("File"))->setText(tr("No model"));
}

void InspectorPanel::showModel(const QUrl& file, qint64 fileBytes, std::shared_ptr<const scene::Scene> presented,
                               const std::vector<std::string>& animationNames, double loadSeconds) {
    clear();
    const scene::Node* container = presented ? containerOf(*presented) : nullptr;
    if (!container) return;
    const QString path = file.isLocalFile() ? file.toLocalFile() : file.path();
    row(QStringLiteral("File"))->setText(QFileInfo(path).fileName());
    row(QStringLiteral("File"))->setToolTip(path);
    row(QStringLiteral("Size"))->setText(QLocale().formattedDataSize(fileBytes));
    const FormatRow* format = formatFor(ModelLoader::fileExtension(path.toStdString()));
    row(QStringLiteral("Format"))
        ->setText(format && !format->description.empty()
                      ? QString::fromUtf8(format->description.data(), int(format->description.size()))
                      : QFileInfo(path).suffix());

    ModelInventory inventory = takeInventory(*container);
    row(QStringLiteral("Nodes"))->setText(count(inventory.nodes));
    row(QStringLiteral("Meshes"))->setText(count(inventory.meshes));
    row(QStringLiteral("Vertices"))->setText(count(inventory.vertices));
    row(QStringLiteral("Triangles"))->setText(count(inventory.triangles));
    row(QStringLiteral("Materials"))->setText(count(inventory.materials));
    row(QStringLiteral("Textures"))->setText(count(inventory.textures));
    QStringList names;
    for (const std::string& name : animationNames) names << QString::fromStdString(name);
    row(QStringLiteral("Animations"))->setText(names.isEmpty() ? tr("None") : names.join(QStringLiteral(", ")));
    row(QStringLiteral("Load time"))->setText(loadSeconds < 0 ? QString() : tr("%1 s").arg(number(loadSeconds)));
    for (const char* title : {"Dimensions", "Surface area", "Volume", "Watertight"})
        row(QString::fromLatin1(title))->setText(tr("Measuring..."));

    // The worker holds the geometries and a copy of the transforms: nothing the interface
    // thread changes while it runs.
    const quint64 generation = generation_;
    const std::string unit = scene::unitSymbol(presented->metersPerUnit);
    QPointer<InspectorPanel> self(this);
    measuring_ = true;
    QThreadPool::globalInstance()->start([self, generation, unit, presented,
                                          instances = std::move(inventory.instances)] {
        // An exception leaving a pool thread would end the application: a model too big to
        // measure leaves the figures as they are.
        MeshFigures figures;
        try {
            figures = measureMeshes(instances);
        } catch (const std::exception&) {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, generation] {
                    if (!self || self->generation_ != generation) return;
                    self->measuring_ = false;
                    emit self->measured();
                },
                Qt::QueuedConnection);
            return;
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, generation, unit, figures] {
                if (!self || self->generation_ != generation) return;
                const QString u = QString::fromStdString(unit);
                const scene::Vector3 size =
                    figures.box.isEmpty() ? scene::Vector3() : figures.box.max - figures.box.min;
                self->row(QStringLiteral("Dimensions"))
                    ->setText(
                        QStringLiteral("%1 × %2 × %3 %4").arg(number(size.x), number(size.y), number(size.z), u));
                self->row(QStringLiteral("Surface area"))
                    ->setText(QStringLiteral("%1 %2²").arg(number(figures.surfaceArea), u));
                self->row(QStringLiteral("Volume"))
                    ->setText(figures.volume ? QStringLiteral("%1 %2³").arg(number(*figures.volume), u)
                                             : self->tr("Not a closed solid"));
                self->row(QStringLiteral("Watertight"))->setText(figures.watertight ? self->tr("Yes") : self->tr("No"));
                self->measuring_ = false;
                emit self->measured();
            },
            Qt::QueuedConnection);
    });
}

} // namespace trimeo

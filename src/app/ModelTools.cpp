#include "ModelTools.h"

#include "AppState.h"
#include "ContentView.h"
#include "ExportImageDialog.h"
#include "InspectorPanel.h"
#include "OpenSequence.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QTimer>
#include <QToolBar>

#include <cmath>

namespace trimeo {
namespace {

QMenu* menuTitled(QMenuBar* bar, const QString& title) {
    for (QAction* action : bar->actions())
        if (action->menu() && action->text().remove('&') == title) return action->menu();
    return nullptr;
}

std::filesystem::path localPath(const QUrl& url) { return std::filesystem::path(url.toLocalFile().toStdString()); }

} // namespace

ModelTools::ModelTools(AppState& state, ContentView& content, QMainWindow& window)
    : QObject(&window), state_(state), content_(content), window_(window) {
    QMenuBar* bar = window.menuBar();
    QMenu* view = menuTitled(bar, QStringLiteral("View"));
    if (!view) {
        QMenu* help = menuTitled(bar, QStringLiteral("Help"));
        view = new QMenu(tr("&View"), bar);
        bar->insertMenu(help ? help->menuAction() : nullptr, view);
    }
    view->addSeparator();
    inspector_ = view->addAction(tr("Inspector"));
    inspector_->setShortcut(QKeySequence(tr("Ctrl+I")));
    inspector_->setCheckable(true);
    measure_ = view->addAction(tr("Measure"));
    measure_->setShortcut(QKeySequence(tr("M")));
    measure_->setCheckable(true);
    section_ = view->addAction(tr("Section"));
    section_->setShortcut(QKeySequence(tr("S")));
    section_->setCheckable(true);
    view->addSeparator();
    nextFile_ = view->addAction(tr("Next File in Folder"));
    nextFile_->setShortcuts({QKeySequence(Qt::Key_PageDown), QKeySequence(Qt::ALT | Qt::Key_Right)});
    previousFile_ = view->addAction(tr("Previous File in Folder"));
    previousFile_->setShortcuts({QKeySequence(Qt::Key_PageUp), QKeySequence(Qt::ALT | Qt::Key_Left)});

    exportImage_ = new QAction(tr("Export Image..."), this);
    exportImage_->setShortcut(QKeySequence(tr("Ctrl+E")));
    if (QMenu* file = menuTitled(bar, QStringLiteral("File"))) {
        // After "Close", with the other commands on the open file.
        const QList<QAction*> items = file->actions();
        QAction* before = items.size() > 2 ? items[2] : nullptr;
        file->insertAction(before, exportImage_);
    } else {
        window.addAction(exportImage_);
    }

    panel_ = new InspectorPanel(&window);
    window.addDockWidget(Qt::RightDockWidgetArea, panel_);
    panel_->hide();
    connect(inspector_, &QAction::toggled, panel_, &QWidget::setVisible);
    connect(panel_, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        // Hiding the window also hides the panel: only the user's close unticks it.
        if (!visible && !window_.isVisible()) return;
        inspector_->setChecked(visible);
        if (visible) showFigures();
    });

    sectionBar_ = new QToolBar(tr("Section"), &window);
    sectionBar_->setObjectName(QStringLiteral("section"));
    sectionBar_->setMovable(false);
    axes_ = new QActionGroup(sectionBar_);
    for (const char* axis : {"X", "Y", "Z"}) {
        QAction* a = sectionBar_->addAction(QString::fromLatin1(axis));
        a->setCheckable(true);
        a->setToolTip(tr("Cut across the model's %1 axis").arg(QString::fromLatin1(axis)));
        axes_->addAction(a);
    }
    axes_->actions().first()->setChecked(true);
    slider_ = new QSlider(Qt::Horizontal, sectionBar_);
    slider_->setRange(0, 1000);
    slider_->setValue(500);
    slider_->setAccessibleName(tr("Section position"));
    sectionBar_->addWidget(slider_);
    window.addToolBar(Qt::BottomToolBarArea, sectionBar_);
    sectionBar_->hide();
    connect(section_, &QAction::toggled, sectionBar_, &QWidget::setVisible);
    connect(section_, &QAction::toggled, this, &ModelTools::applySection);
    connect(axes_, &QActionGroup::triggered, this, &ModelTools::applySection);
    connect(slider_, &QSlider::valueChanged, this, &ModelTools::applySection);

    connect(measure_, &QAction::toggled, this, [this](bool on) {
        if (viewport_) viewport_->setMeasuring(on);
    });
    connect(exportImage_, &QAction::triggered, this, &ModelTools::askAndExport);
    connect(nextFile_, &QAction::triggered, this, [this] { openNeighbour(1); });
    connect(previousFile_, &QAction::triggered, this, [this] { openNeighbour(-1); });

    // The content makes its viewport while it handles the same change: look once it is done.
    connect(&state_, &AppState::fileURLChanged, this, [this] {
        loadClock_.start(); // the bytes are in: from here on it is the load
        follow();
    });
    connect(&state_, &AppState::fileDataChanged, this, &ModelTools::follow);
    follow();
}

void ModelTools::follow() {
    const bool hasFile = state_.fileURL().has_value();
    nextFile_->setEnabled(hasFile);
    previousFile_->setEnabled(hasFile);
    enableForModel(false);
    QTimer::singleShot(0, this, &ModelTools::attach);
}

void ModelTools::attach() {
    SceneKitView* current = content_.viewport();
    enableForModel(current && current->scene());
    if (current == viewport_) return;
    if (viewport_) disconnect(viewport_, nullptr, this, nullptr);
    viewport_ = current;
    loadSeconds_ = -1;
    panel_->clear();
    if (!viewport_) return;
    viewport_->setMeasuring(measure_->isChecked());
    applySection();
    connect(viewport_, &SceneKitView::sectionMoved, this,
            [this](double fraction) { slider_->setValue(int(std::lround(fraction * slider_->maximum()))); });
    connect(viewport_, &SceneKitView::loaded, this, [this] {
        loadSeconds_ = loadClock_.elapsed() / 1000.0;
        enableForModel(true);
        if (panel_->isVisible()) showFigures();
    });
    if (viewport_->scene()) showFigures();
}

void ModelTools::enableForModel(bool shown) {
    for (QAction* action : {measure_, section_, exportImage_}) action->setEnabled(shown);
}

void ModelTools::showFigures() {
    if (!viewport_ || !viewport_->scene() || !state_.fileURL()) {
        panel_->clear();
        return;
    }
    panel_->showModel(*state_.fileURL(), state_.fileData().size(), viewport_->scene(), viewport_->animationNames(),
                      loadSeconds_);
}

void ModelTools::applySection() {
    if (!viewport_) return;
    if (!section_->isChecked()) {
        viewport_->setSection(std::nullopt);
        return;
    }
    const int axis = int(axes_->actions().indexOf(axes_->checkedAction()));
    viewport_->setSection(SectionAxis(std::clamp(axis, 0, 2)), slider_->value() / 1000.0);
}

std::optional<QUrl> ModelTools::neighbour(int step) const {
    const std::optional<QUrl> current = state_.fileURL();
    if (!current || !current->isLocalFile()) return std::nullopt;
    const auto next = neighbourModelFile(localPath(*current), step);
    if (!next) return std::nullopt;
    return QUrl::fromLocalFile(QString::fromStdString(next->string()));
}

bool ModelTools::openNeighbour(int step) {
    const std::optional<QUrl> url = neighbour(step);
    if (!url) return false;
    startOpenSequence(state_, *url);
    return true;
}

bool ModelTools::exportImage(const QString& path, QSize size) {
    if (!viewport_) return false;
    const QImage image = viewport_->renderImage(size);
    return !image.isNull() && image.save(path, "PNG");
}

void ModelTools::askAndExport() {
    if (!viewport_ || !viewport_->scene()) return;
    const QSize viewSize = viewport_->size() * viewport_->devicePixelRatioF();
    QString suggested;
    if (const auto url = state_.fileURL(); url && url->isLocalFile()) {
        const QFileInfo file(url->toLocalFile());
        suggested = file.dir().filePath(file.completeBaseName() + QStringLiteral(".png"));
    }
    const auto choice = ExportImageDialog::ask(viewSize, suggested, &window_);
    if (choice) exportImage(choice->path, choice->size);
}

} // namespace trimeo

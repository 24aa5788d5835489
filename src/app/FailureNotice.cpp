#include "FailureNotice.h"

#include "DisplayStyle.h"
#include "Icons.h"
#include "KeyboardFocus.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>

namespace trimeo {

namespace {
// Screen readers take the notice for what it is, an alert, and read its name.
QAccessibleInterface* noticeAccessibility(const QString& className, QObject* object) {
    if (className != QLatin1String("trimeo::FailureNotice") || !object || !object->isWidgetType()) return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::AlertMessage);
}
} // namespace

FailureNotice::FailureNotice(QWidget* parent, int lifetimeMs) : QFrame(parent) {
    static const bool factoryInstalled = (QAccessible::installFactory(noticeAccessibility), true);
    Q_UNUSED(factoryInstalled);
    setObjectName(QStringLiteral("failureNotice"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::AlternateBase);
    setFocusPolicy(Qt::TabFocus);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 6, 6);
    auto* symbol = new QLabel(this);
    showSymbol(symbol, IconName::warning, 20, textColor);
    layout->addWidget(symbol);
    text_ = plainLabel({}, this);
    text_->setWordWrap(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(text_, 1);
    dismiss_ = new QToolButton(this);
    dismiss_->setText(tr("Dismiss"));
    dismiss_->setToolTip(tr("Hide this notice"));
    makeKeyboardReachable(dismiss_);
    connect(dismiss_, &QToolButton::clicked, this, &QWidget::hide);
    layout->addWidget(dismiss_);

    expiry_.setSingleShot(true);
    expiry_.setInterval(lifetimeMs);
    connect(&expiry_, &QTimer::timeout, this, &QWidget::hide);
    hide();
}

void FailureNotice::showFailure(const QUrl& url, const QString& reason) {
    const QString where = url.isLocalFile() ? url.toLocalFile() : url.toDisplayString();
    const QString name = url.fileName().isEmpty() ? where : url.fileName();
    text_->setText(tr("Could not open \u201c%1\u201d: %2").arg(name, reason));
    setToolTip(verbatimToolTip(where));
    setAccessibleName(text_->text());
    show();
    expiry_.start();
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

QString FailureNotice::text() const { return text_->text(); }

void FailureNotice::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) hide();
    else QFrame::keyPressEvent(event);
}

} // namespace trimeo

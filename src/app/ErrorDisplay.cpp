#include "ErrorDisplay.h"

#include "DisplayStyle.h"
#include "Icons.h"

#include <QLabel>
#include <QVBoxLayout>

namespace trimeo {

ErrorDisplay::ErrorDisplay(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(16);
    layout->addStretch();

    auto* symbol = new QLabel(this);
    showSymbol(symbol, IconName::warning, 64, secondaryColor);
    layout->addWidget(symbol, 0, Qt::AlignHCenter);

    QLabel* heading = plainLabel(tr("Unable to load 3D model"), this);
    heading->setFont(headlineFont(this));
    layout->addWidget(heading, 0, Qt::AlignHCenter);

    message_ = plainLabel({}, this);
    message_->setObjectName(QStringLiteral("errorMessage"));
    message_->setFont(captionFont(this));
    showInSecondaryColor(message_);
    message_->setAlignment(Qt::AlignHCenter);
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    message_->setContentsMargins(16, 0, 16, 0);
    layout->addWidget(message_);
    layout->addStretch();
}

void ErrorDisplay::setMessage(const QString& message) { message_->setText(message); }

QString ErrorDisplay::message() const { return message_->text(); }

} // namespace trimeo

#include "EmptyDisplay.h"

#include "DisplayStyle.h"
#include "Icons.h"
#include "KeyboardFocus.h"
#include "RecentFileButton.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace trimeo {

EmptyDisplay::EmptyDisplay(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(16);
    layout->addStretch();

    auto* symbol = new QLabel(this);
    showSymbol(symbol, IconName::cube, 64, secondaryColor); // 48 pt at 96 dpi
    layout->addWidget(symbol, 0, Qt::AlignHCenter);

    QLabel* invitation = plainLabel(tr("Open a 3D file to get started"), this);
    showInSecondaryColor(invitation);
    layout->addWidget(invitation, 0, Qt::AlignHCenter);

    // Ctrl+O belongs to the menu's "Open...": a second shortcut on the same key in the
    // same window would make Qt fire neither.
    openButton_ = new QPushButton(tr("Open..."), this);
    makeKeyboardReachable(openButton_);
    connect(openButton_, &QPushButton::clicked, this, &EmptyDisplay::openClicked);
    layout->addWidget(openButton_, 0, Qt::AlignHCenter);

    recentList_ = new QWidget(this);
    recentList_->setMaximumWidth(400);
    recentRows_ = new QVBoxLayout(recentList_);
    recentRows_->setContentsMargins(0, 0, 0, 0);
    recentRows_->setSpacing(8);
    layout->addWidget(recentList_, 0, Qt::AlignHCenter);
    layout->addStretch();
    recentList_->hide();
}

void EmptyDisplay::setRecentFiles(const QList<QUrl>& files) {
    while (QLayoutItem* item = recentRows_->takeAt(0)) {
        if (QWidget* widget = item->widget()) widget->deleteLater(); // may be the row being clicked
        delete item;
    }
    recentList_->setVisible(!files.isEmpty());
    if (files.isEmpty()) return;

    QLabel* heading = plainLabel(tr("Recent Files"), recentList_);
    heading->setFont(headlineFont(this));
    showInSecondaryColor(heading);
    heading->setContentsMargins(0, 8, 0, 0);
    recentRows_->addWidget(heading);
    for (const QUrl& url : files) {
        auto* row = new RecentFileButton(url.toLocalFile(), recentList_);
        connect(row, &RecentFileButton::clicked, this, [this, url] { emit recentFileClicked(url); });
        recentRows_->addWidget(row);
    }
}

} // namespace trimeo

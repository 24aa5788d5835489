#include "AboutDialog.h"

#include "DisplayStyle.h"
#include "Icons.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QUrlQuery>
#include <QVBoxLayout>

namespace trimeo {

namespace {
const char* const authorName = "the Trimeo developers";
const char* const authorHost = "trimeo.example"; // a reserved name until the project has a home

QLabel* centredLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    return label;
}
} // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("About Trimeo"));
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(8);

    QLabel* iconLabel = centredLabel({}, this);
    iconLabel->setPixmap(icon(IconName::application).pixmap(64, 64));
    layout->addWidget(iconLabel);

    QLabel* name = centredLabel(QStringLiteral("Trimeo"), this);
    QFont nameFont = name->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.4);
    name->setFont(nameFont);
    layout->addWidget(name);

    layout->addWidget(centredLabel(tr("Version %1").arg(applicationVersion()), this));

    QLabel* credits = centredLabel(creditsHtml(secondaryColor(this)), this);
    credits->setObjectName(QStringLiteral("credits"));
    credits->setTextFormat(Qt::RichText);
    credits->setOpenExternalLinks(true);
    credits->setTextInteractionFlags(Qt::TextBrowserInteraction);
    layout->addWidget(credits);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString AboutDialog::applicationVersion() {
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral("1.0") : version;
}

QUrl AboutDialog::authorPageURL() {
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(QString::fromLatin1(authorHost));
    url.setPath(QStringLiteral("/simple"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("utm_source"), QStringLiteral("trimeo"));
    query.addQueryItem(QStringLiteral("utm_medium"), QStringLiteral("app"));
    query.addQueryItem(QStringLiteral("utm_campaign"), QStringLiteral("about"));
    url.setQuery(query);
    return url;
}

QString AboutDialog::creditsHtml(const QColor& secondaryColor) {
    const QString secondary = secondaryColor.name();
    const QString firstRun = (tr("Created by ") + QString::fromUtf8(authorName)).toHtmlEscaped();
    const QUrl page = authorPageURL();
    const QString linkText = (page.host() + page.path()).toHtmlEscaped();
    return QStringLiteral("<span style=\"font-size:11pt; color:%1\">%2</span><br>"
                          "<a href=\"%3\" style=\"font-size:11pt\">%4</a>")
        .arg(secondary, firstRun, page.toString(QUrl::FullyEncoded).toHtmlEscaped(), linkText);
}

} // namespace trimeo

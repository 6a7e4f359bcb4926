#include "app/Updater.h"

#include <QCoreApplication>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace {
const QString sparkleNs = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");
}

std::optional<QList<AppcastItem>> Appcast::parse(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    QList<AppcastItem> items;
    bool sawChannel = false;
    std::optional<AppcastItem> current;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const auto name = reader.name();
            if (name == QLatin1String("channel")) {
                sawChannel = true;
            } else if (name == QLatin1String("item")) {
                current = AppcastItem{};
            } else if (current && name == QLatin1String("title") &&
                       reader.namespaceUri().isEmpty()) {
                current->title = reader.readElementText().trimmed();
            } else if (current && reader.namespaceUri() == sparkleNs &&
                       name == QLatin1String("version")) {
                current->version = reader.readElementText().trimmed();
            } else if (current && reader.namespaceUri() == sparkleNs &&
                       name == QLatin1String("shortVersionString")) {
                current->shortVersion = reader.readElementText().trimmed();
            } else if (current && name == QLatin1String("enclosure")) {
                const auto attrs = reader.attributes();
                current->download = QUrl(attrs.value(QStringLiteral("url")).toString());
                if (attrs.hasAttribute(sparkleNs, QStringLiteral("version")))
                    current->version = attrs.value(sparkleNs, QStringLiteral("version")).toString();
                if (attrs.hasAttribute(sparkleNs, QStringLiteral("shortVersionString")))
                    current->shortVersion =
                        attrs.value(sparkleNs, QStringLiteral("shortVersionString")).toString();
            }
        } else if (reader.isEndElement() && reader.name() == QLatin1String("item") && current) {
            if (!current->version.isEmpty()) {
                if (current->shortVersion.isEmpty())
                    current->shortVersion = current->version;
                items.append(*current);
            }
            current.reset();
        }
    }
    if (reader.hasError() || !sawChannel)
        return std::nullopt;
    return items;
}

int Appcast::compareVersions(const QString &a, const QString &b)
{
    static const QRegularExpression separators(QStringLiteral("[.\\-]"));
    const QStringList pa = a.split(separators), pb = b.split(separators);
    for (qsizetype i = 0; i < std::max(pa.size(), pb.size()); ++i) {
        const QString x = i < pa.size() ? pa[i] : QStringLiteral("0");
        const QString y = i < pb.size() ? pb[i] : QStringLiteral("0");
        bool xNumber = false, yNumber = false;
        const qlonglong nx = x.toLongLong(&xNumber), ny = y.toLongLong(&yNumber);
        const int c = (xNumber && yNumber) ? (nx < ny ? -1 : nx > ny ? 1 : 0) : x.compare(y);
        if (c != 0)
            return c < 0 ? -1 : 1;
    }
    return 0;
}

QUrl Updater::buildFeed()
{
    return QUrl(QStringLiteral(VESK_APPCAST_URL));
}

bool Updater::builtAsPackage()
{
    return VESK_PACKAGE_BUILD;
}

Updater::Updater(QUrl feed, QString currentBuild, bool package, QObject *parent)
    : QObject(parent), m_feed(std::move(feed)), m_currentBuild(std::move(currentBuild)),
      m_package(package)
{}

void Updater::check()
{
    if (!hasFeed()) {
        Result r;
        r.kind = m_package ? Result::Kind::noFeed : Result::Kind::fromSource;
        QMetaObject::invokeMethod(
            this, [this, r] { Q_EMIT checked(r); }, Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(m_feed);
    request.setTransferTimeout(15000);
    QNetworkReply *reply = m_network.get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        Result r;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError) {
            r.detail = reply->errorString();
        } else if (status != 200) {
            r.detail = QStringLiteral("HTTP %1").arg(status);
        } else if (const auto items = Appcast::parse(reply->readAll())) {
            std::optional<AppcastItem> newest;
            for (const AppcastItem &item : *items) {
                if (!newest || Appcast::compareVersions(item.version, newest->version) > 0)
                    newest = item;
            }
            if (newest && Appcast::compareVersions(newest->version, m_currentBuild) > 0) {
                r.kind = Result::Kind::available;
                r.item = newest;
            } else {
                r.kind = Result::Kind::upToDate;
            }
        } else {
            r.detail = QCoreApplication::translate("Updater", "the update feed could not be read");
        }
        Q_EMIT checked(r);
    });
}

QString Updater::describe(const Result &result)
{
    switch (result.kind) {
    case Result::Kind::upToDate:
        return QCoreApplication::translate("Updater", "Vesk Voice is up to date.");
    case Result::Kind::available:
        return QCoreApplication::translate("Updater", "Vesk Voice %1 is available.")
            .arg(result.item->shortVersion);
    case Result::Kind::noFeed:
        return QCoreApplication::translate(
            "Updater", "This copy of Vesk Voice is updated by your system's package manager.");
    case Result::Kind::fromSource:
        return QCoreApplication::translate(
            "Updater", "This copy of Vesk Voice was built from its source code and does not "
                       "update itself: to update it, build the newer sources the same way.");
    case Result::Kind::failed:
        break;
    }
    return QCoreApplication::translate("Updater", "Could not check for updates: %1")
        .arg(result.detail);
}

#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QUrl>
#include <optional>

// One release announced by an appcast feed (RSS with sparkle:version attributes).
struct AppcastItem
{
    QString version;      // the build number compared against ours
    QString shortVersion; // what users read, e.g. "1.2.0"
    QString title;
    QUrl download;
    bool operator==(const AppcastItem &) const = default;
};

namespace Appcast {
// Every item of the feed that names a version; nothing when the bytes are not such a feed.
std::optional<QList<AppcastItem>> parse(const QByteArray &xml);
// Negative, zero or positive as a is older than, the same as or newer than b ("1.10" > "1.9").
int compareVersions(const QString &a, const QString &b);
} // namespace Appcast

// Checks the build's update feed. A copy built without a feed is updated by the system's package
// manager when it came as a package, or by building it again from newer sources; the check says
// which instead of pretending.
class Updater : public QObject
{
    Q_OBJECT
public:
    struct Result
    {
        enum class Kind
        {
            upToDate,
            available,
            noFeed,     // a package: its package manager updates it
            fromSource, // built from the sources: built again to update
            failed
        } kind = Kind::failed;
        std::optional<AppcastItem> item;
        QString detail; // why the check failed
    };

    // The feed fixed at build time; empty when there is none.
    static QUrl buildFeed();
    // Whether this copy was built as a package (the packaging script says so).
    static bool builtAsPackage();
    explicit Updater(QUrl feed = buildFeed(),
                     QString currentBuild = QStringLiteral(VESK_BUILD_NUMBER),
                     bool package = builtAsPackage(), QObject *parent = nullptr);

    bool hasFeed() const { return m_feed.isValid() && !m_feed.isEmpty(); }
    // Fetches the feed (15 s at most) and answers with checked().
    void check();
    // The sentence the update dialog shows for a result.
    static QString describe(const Result &result);

Q_SIGNALS:
    void checked(const Updater::Result &result);

private:
    QUrl m_feed;
    QString m_currentBuild;
    bool m_package;
    QNetworkAccessManager m_network;
};

Q_DECLARE_METATYPE(Updater::Result)

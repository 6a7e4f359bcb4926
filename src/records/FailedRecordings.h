#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Recordings whose transcription failed or was given up, kept in the owner-only data folder so that
// a retry is still possible after a restart. Only the newest few are kept; the folder itself is the
// record (file names carry the time, duration and source), so nothing else can fall out of step.
class FailedRecordings
{
public:
    static constexpr int cap = 20;

    struct Entry
    {
        QString path;
        double duration = 0;
        QString source;
    };

    // The data folder's "recordings" folder.
    FailedRecordings();
    explicit FailedRecordings(const QString &folder);

    QString folder() const { return m_folder; }
    bool contains(const QString &path) const;

    // Takes the recording into the folder (moved; copied when `copy`, so that a file kept on
    // purpose stays where it is), then deletes the oldest beyond the cap. A recording already in
    // the folder stays as it is. The kept path, or nothing when it could not be kept.
    std::optional<QString> keep(const QString &recording, double duration, const QString &source,
                                bool copy);
    std::optional<Entry> newest() const;
    bool isEmpty() const { return !newest().has_value(); }
    int count() const { return int(names().size()); }
    void remove(const QString &path);

private:
    QStringList names() const;

    QString m_folder;
};

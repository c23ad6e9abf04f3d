// The output folder of one pair, held open while the pair runs, and the hidden names in it.
#pragma once

#include <QString>

#include <functional>

// The output folder of one pair, held open from the pair's start to its end. Every file the
// pair creates, renames or removes is reached through the held folder, so a folder that is
// moved, removed or replaced meanwhile never receives a file meant for the one chosen.
class OutputDirectory {
public:
    // Opens the folder at `path`; throws MuxError::failed when it is missing or cannot be
    // opened.
    explicit OutputDirectory(QString path);
    ~OutputDirectory();
    OutputDirectory(const OutputDirectory &) = delete;
    OutputDirectory &operator=(const OutputDirectory &) = delete;

    const QString &path() const { return m_path; }

    // A path that leads to `name` inside the held folder wherever it is now, also for a child
    // process.
    QString pathInside(const QString &name) const;
    // `toolText` with every path made by pathInside written as the folder's own path, so that
    // messages name the folder the user chose.
    QString withFolderPath(QString toolText) const;

    // Whether the folder's path still leads to the held folder.
    bool isStillAtItsPath() const;

    enum class MoveOutcome { moved, nameTaken, failed };
    // Renames `from` to `to` inside the folder, never replacing whatever is at `to`, also a
    // link, dangling or not. Where the file system cannot rename without replacing, the file
    // is linked under the new name and the old name removed; where it has no links either,
    // `to` is first created exclusively as an empty placeholder, and `from` renamed over it
    // only while the name still holds that placeholder. The file is never copied. `failed`
    // leaves the reason in `error`.
    MoveOutcome moveWithoutReplacing(const QString &from, const QString &to, QString &error) const;

    // Reasons (errno values) that stand in for the file system's own answer to the steps of
    // moveWithoutReplacing, 0 where the step is really taken; for the tests of the fallbacks,
    // which no file system at hand shows.
    struct Refusals {
        int noReplaceRename = 0;
        int hardLink = 0;
        int placeholder = 0;
        std::function<void()> beforeReplacingPlaceholder; // runs in the gap the check closes
    };
    void simulateRefusals(Refusals refusals) { m_refusals = std::move(refusals); }

    // Removes `name` from the folder; a file that cannot be removed is at least emptied.
    void remove(const QString &name) const;

private:
    QString m_path;
    int m_descriptor = -1;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    Refusals m_refusals;
};

#pragma once

#include <QByteArray>
#include <QString>

namespace halvorix {

// A path as the kernel sees it: the bytes a folder listing gave, handed to open and create calls
// unchanged. Linux names are bytes; most are UTF-8, but a card from an old camera may hold names
// in another encoding, which a decode and encode again would change into names that do not exist.
// Only text() decodes, for people to read.
class NativePath {
public:
    NativePath() = default;
    explicit NativePath(QByteArray bytes) : bytes_(std::move(bytes)) { }
    // A path the program holds as text (typed, chosen in a dialog, listed in the transfer list).
    static NativePath fromText(const QString &text) { return NativePath(text.toUtf8()); }

    const QByteArray &bytes() const { return bytes_; }
    const char *c_str() const { return bytes_.constData(); }
    bool isEmpty() const { return bytes_.isEmpty(); }
    QString text() const { return QString::fromUtf8(bytes_); }

    // `name` inside this folder, with exactly one separator between them.
    NativePath operator/(const QByteArray &name) const
    {
        if (bytes_.isEmpty())
            return NativePath(name);
        return NativePath(bytes_.endsWith('/') ? bytes_ + name : bytes_ + '/' + name);
    }

    // The last name, without trailing separators ("/a/b/" gives "b"; "/" gives "").
    QByteArray name() const
    {
        const QByteArray trimmed = withoutTrailingSeparator().bytes_;
        return trimmed.mid(trimmed.lastIndexOf('/') + 1);
    }
    // The folder holding the last name ("/a/b" and "/a/b/" give "/a/"; "b" gives "").
    NativePath folder() const
    {
        const QByteArray trimmed = withoutTrailingSeparator().bytes_;
        const qsizetype slash = trimmed.lastIndexOf('/');
        return slash < 0 ? NativePath() : NativePath(trimmed.left(slash + 1));
    }
    // Trailing separators taken off; the root folder stays "/".
    NativePath withoutTrailingSeparator() const
    {
        qsizetype end = bytes_.size();
        while (end > 1 && bytes_[end - 1] == '/')
            --end;
        return NativePath(bytes_.left(end));
    }

    friend bool operator==(const NativePath &a, const NativePath &b) { return a.bytes_ == b.bytes_; }

private:
    QByteArray bytes_;
};

} // namespace halvorix

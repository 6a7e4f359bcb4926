#include "desktop/ClipboardKeeper.h"

#include "records/Log.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QGuiApplication>
#include <QMimeData>
#include <utility>

namespace {

// Qt derives this one from the image formats it lists; the real formats are copied instead.
const QString qtImage = QStringLiteral("application/x-qt-image");

} // namespace

ClipboardKeeper::ClipboardKeeper(QClipboard::Mode mode, ClipboardReader &reader)
    : m_mode(mode), m_reader(reader)
{}

ClipboardKeeper::~ClipboardKeeper()
{
    QObject::disconnect(m_watch);
}

bool ClipboardKeeper::ownsDirectly() const
{
    return m_reader.setsClipboard();
}

bool ClipboardKeeper::whenAskedFor(QObject *context, std::function<void()> done)
{
    return m_borrowed && m_reader.whenAskedFor(m_mode, context, std::move(done));
}

bool ClipboardKeeper::stillOurs() const
{
    if (ownsDirectly())
        return m_borrowed && m_reader.holdsOwn(m_mode);
    return m_borrowed && !m_changedSince &&
           QGuiApplication::clipboard()->mimeData(m_mode) == m_ours;
}

QMimeData *ClipboardKeeper::transcriptData(const QString &transcript)
{
    auto *data = new QMimeData;
    data->setText(transcript);
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    return data;
}

QList<ClipboardReader::Format> ClipboardKeeper::transcriptFormats(const QString &transcript)
{
    // The text types Wayland clients ask for, and those XWayland turns into X11 targets.
    const QByteArray text = transcript.toUtf8();
    return {{QStringLiteral("text/plain;charset=utf-8"), text},
            {QStringLiteral("text/plain"), text},
            {QStringLiteral("UTF8_STRING"), text},
            {QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret")}};
}

std::unique_ptr<QMimeData>
ClipboardKeeper::mimeDataOf(const QList<ClipboardReader::Format> &formats)
{
    if (formats.isEmpty())
        return nullptr;
    auto data = std::make_unique<QMimeData>();
    for (const ClipboardReader::Format &format : formats) {
        if (format.mimeType == QLatin1String("UTF8_STRING"))
            data->setText(QString::fromUtf8(format.data));
        else
            data->setData(format.mimeType, format.data);
    }
    return data;
}

void ClipboardKeeper::borrow(const QString &transcript, std::function<void()> ready)
{
    // Still ours: a second insertion in a row, whose "previous contents" are only the first
    // transcript. Not ours any more: the user copied something, which is now theirs to keep.
    if (stillOurs()) {
        put(transcript);
        ready();
        return;
    }
    QObject::disconnect(m_watch);
    m_borrowed = false;
    m_reader.read(m_mode, &m_context,
                  [this, transcript, ready](const QList<ClipboardReader::Format> &formats) {
                      if (ownsDirectly())
                          m_savedFormats = formats;
                      else
                          m_saved = mimeDataOf(formats);
                      put(transcript);
                      ready();
                  });
}

void ClipboardKeeper::put(const QString &transcript)
{
    if (ownsDirectly()) {
        m_reader.set(m_mode, transcriptFormats(transcript));
        m_borrowed = true;
        return;
    }
    QClipboard *clipboard = QGuiApplication::clipboard();
    QObject::disconnect(m_watch);
    QMimeData *data = transcriptData(transcript);
    clipboard->setMimeData(data, m_mode);
    m_ours = data;
    m_borrowed = true;
    m_changedSince = false;
    // Connected after our own change has been announced: only later ones count.
    m_watch =
        QObject::connect(clipboard, &QClipboard::changed, clipboard, [this](QClipboard::Mode mode) {
            if (mode == m_mode)
                m_changedSince = true;
        });
}

void ClipboardKeeper::giveBack()
{
    if (!m_borrowed)
        return;
    const bool ours = stillOurs();
    m_borrowed = false;
    m_ours = nullptr;
    QObject::disconnect(m_watch);
    if (ownsDirectly()) {
        const QList<ClipboardReader::Format> saved = std::exchange(m_savedFormats, {});
        if (ours && !saved.isEmpty())
            m_reader.set(m_mode, saved);
        return;
    }
    std::unique_ptr<QMimeData> saved = std::move(m_saved);
    if (!ours || !saved)
        return;
    QGuiApplication::clipboard()->setMimeData(saved.release(), m_mode);
}

QList<ClipboardReader::Format> ClipboardReader::formatsOf(const QMimeData *source)
{
    QList<Format> formats;
    if (!source)
        return formats;
    for (const QString &format : source->formats()) {
        if (format != qtImage)
            formats.append({format, source->data(format)});
    }
    // An image this process put there as an image only.
    if (formats.isEmpty() && source->hasImage()) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        qvariant_cast<QImage>(source->imageData()).save(&buffer, "PNG");
        formats.append({QStringLiteral("image/png"), png});
    }
    return formats;
}

QList<ClipboardReader::Format> ClipboardReader::ownContents(QClipboard::Mode mode) const
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    const bool owned =
        mode == QClipboard::Selection ? clipboard->ownsSelection() : clipboard->ownsClipboard();
    return owned ? formatsOf(clipboard->mimeData(mode)) : QList<Format>();
}

void QtClipboardReader::read(QClipboard::Mode mode, QObject *context, Done done)
{
    deliver(context, std::move(done), formatsOf(QGuiApplication::clipboard()->mimeData(mode)), {});
}

void ClipboardReader::deliver(QPointer<QObject> target, Done done, QList<Format> formats,
                              QStringList skipped)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [target, done = std::move(done), formats = std::move(formats),
         skipped = std::move(skipped)] {
            if (!skipped.isEmpty())
                Log::write(QStringLiteral("clipboard formats not kept, their owner did not "
                                          "answer in %1 ms: %2")
                               .arg(ClipboardReader::perFormatMs)
                               .arg(skipped.join(QStringLiteral(", "))));
            if (target)
                done(formats);
        },
        Qt::QueuedConnection);
}

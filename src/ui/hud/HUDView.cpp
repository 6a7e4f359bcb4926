#include "ui/hud/HUDView.h"

#include "desktop/HotkeyKindInfo.h"
#include "ui/hud/LevelMeter.h"
#include "ui/hud/RoundButton.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

// The spinner of the working look: an arc of ticks turning, white, small.
class Spinner : public QWidget
{
public:
    explicit Spinner(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        m_timer.setInterval(80);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_step = (m_step + 1) % ticks;
            update();
        });
    }

protected:
    // Turns only while it can be seen.
    void showEvent(QShowEvent *) override { m_timer.start(); }
    void hideEvent(QHideEvent *) override { m_timer.stop(); }

    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(width() / 2.0, height() / 2.0);
        const double radius = 8;
        for (int i = 0; i < ticks; ++i) {
            // The newest tick is brightest; the others fade behind it.
            const int age = (m_step - i + ticks) % ticks;
            QColor c = Qt::white;
            c.setAlphaF(1.0 - 0.8 * age / double(ticks - 1));
            p.setPen(QPen(c, 2, Qt::SolidLine, Qt::RoundCap));
            p.save();
            p.rotate(360.0 * i / ticks);
            p.drawLine(QPointF(0, -radius * 0.5), QPointF(0, -radius));
            p.restore();
        }
    }

private:
    static constexpr int ticks = 8;
    int m_step = 0;
    QTimer m_timer;
};

// One line of the words heard so far; as it grows past its room, the start gives way, so the
// newest words stay in sight. It takes no focus and no clicks (a press on it drags the capsule).
class InterimLine : public QWidget
{
public:
    explicit InterimLine(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        QFont f = font();
        f.setPixelSize(12);
        setFont(f);
        setFixedHeight(QFontMetrics(f).height());
        setMinimumWidth(2);
    }

    void setText(const QString &text)
    {
        // One line: line breaks of the transcript are spaces here.
        QString line = text.simplified();
        if (line == m_text)
            return;
        m_text = line;
        update();
    }
    const QString &text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (m_text.isEmpty())
            return;
        QPainter p(this);
        p.setPen(QColor::fromRgbF(1, 1, 1, 0.9f));
        const QString shown = fontMetrics().elidedText(m_text, Qt::ElideLeft, width());
        // Left to right whatever the script: the newest words are always at the right end.
        p.drawText(rect(), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, shown);
    }

private:
    QString m_text;
};

namespace {

const QColor red(255, 59, 48);
const QColor green(52, 199, 89);
const QColor orange(255, 149, 0);

QColor white(double opacity)
{
    return QColor::fromRgbF(1, 1, 1, float(opacity));
}

QColor withOpacity(QColor c, double opacity)
{
    c.setAlphaF(float(opacity));
    return c;
}

class RedDot : public QWidget
{
public:
    explicit RedDot(QWidget *parent) : QWidget(parent)
    {
        setFixedSize(9, 9);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(red);
        p.drawEllipse(QRectF(rect()));
    }
};

constexpr int contentWidth = 48;
constexpr int contentHeight = 44;

} // namespace

HUDView::HUDView(AppState *state, Action onToggle, Action onSubmit, Action onCancel,
                 QWidget *parent)
    : QWidget(parent), m_state(state), m_onToggle(std::move(onToggle)), m_shownPhase(state->phase())
{
    setAttribute(Qt::WA_Hover);
    setFixedHeight(contentHeight);
    setFocusPolicy(Qt::NoFocus);

    m_main = new SymbolButton(this);
    m_main->setFixedSize(contentWidth, contentHeight);
    connect(m_main, &QAbstractButton::clicked, this, [this] {
        if (m_onToggle)
            m_onToggle();
    });
    m_main->installEventFilter(this);

    m_spinner = new Spinner(this);
    m_spinner->setFixedSize(contentWidth, contentHeight);

    m_row = new QWidget(this);
    m_row->setAttribute(Qt::WA_TranslucentBackground);
    auto *row = new QHBoxLayout(m_row);
    row->setContentsMargins(13, 0, 9, 0);
    row->setSpacing(7);
    row->addWidget(new RedDot(m_row), 0, Qt::AlignVCenter);
    m_meter = new LevelMeter(m_row);
    row->addWidget(m_meter, 0, Qt::AlignVCenter);
    m_words = new InterimLine(m_row);
    row->addWidget(m_words, 1, Qt::AlignVCenter);
    m_send = new RoundButton(QStringLiteral("arrow.up"), Qt::white, withOpacity(green, 0.85),
                             tr("Send it (or let the keys go)"), std::move(onSubmit), m_row);
    m_cancel = new RoundButton(QStringLiteral("xmark"), white(0.8), white(0.14), tr("Cancel (Esc)"),
                               std::move(onCancel), m_row);
    row->addWidget(m_send, 0, Qt::AlignVCenter);
    row->addWidget(m_cancel, 0, Qt::AlignVCenter);
    m_send->installEventFilter(this);
    m_cancel->installEventFilter(this);

    m_fillAnimation.setDuration(150);
    m_fillAnimation.setEasingCurve(QEasingCurve::OutCubic);
    connect(&m_fillAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        m_fill = v.toDouble();
        update();
    });
    m_fill = fillOpacity(state->phase(), false);
    m_contentAnimation.setDuration(150);
    m_contentAnimation.setEasingCurve(QEasingCurve::OutCubic);
    m_contentAnimation.setStartValue(0.0);
    m_contentAnimation.setEndValue(1.0);

    connect(state, &AppState::changed, this, &HUDView::refresh);
    connect(state, &AppState::levelChanged, m_meter, &LevelMeter::setLevel);
    refresh();
}

QWidget *HUDView::spinner() const
{
    return m_spinner;
}

QWidget *HUDView::interimLine() const
{
    return m_words;
}

QString HUDView::shownInterimText() const
{
    return m_words->text();
}

double HUDView::fillOpacity(AppState::Phase phase, bool hovering)
{
    return phase == AppState::Phase::idle && !hovering ? 0.45 : 0.72;
}

void HUDView::refresh()
{
    if (!m_state)
        return;
    const AppState::Phase phase = m_state->phase();
    const bool granted = m_state->accessibilityGranted();
    m_main->setVisible(phase == AppState::Phase::idle || phase == AppState::Phase::failed);
    m_spinner->setVisible(phase == AppState::Phase::working);
    m_row->setVisible(phase == AppState::Phase::recording);
    // A key the desktop assigned (Wayland) stands for the one picked.
    const QString assigned = m_state->holdKeyAdvice().key;
    const QString holdKey =
        assigned.isEmpty() ? HotkeyKindInfo::inText(m_state->hotkeyInEffect()) : assigned;
    switch (phase) {
    case AppState::Phase::idle:
        m_main->setSymbol(granted ? QStringLiteral("mic.fill") : QStringLiteral("mic.slash.fill"),
                          white(granted ? 0.85 : 0.45), 15);
        m_main->setToolTip(tr("Click to record, or hold %1").arg(holdKey));
        break;
    case AppState::Phase::failed:
        m_main->setSymbol(QStringLiteral("exclamationmark.triangle.fill"), orange, 14);
        m_main->setToolTip(m_state->message().isEmpty()
                               ? QCoreApplication::translate("AppDelegate", "Something went wrong")
                               : m_state->message());
        break;
    case AppState::Phase::recording:
    case AppState::Phase::working:
        break;
    }
    m_meter->setLevel(m_state->level());
    m_words->setText(m_state->interimText());
    if (phase != m_shownPhase) {
        m_shownPhase = phase;
        easeFillTo(fillOpacity(phase, m_hovering));
        fadeIn(phase == AppState::Phase::recording ? m_row
               : phase == AppState::Phase::working ? static_cast<QWidget *>(m_spinner)
                                                   : m_main);
    }
    placeContent();
}

void HUDView::setHovering(bool hovering)
{
    if (hovering == m_hovering)
        return;
    m_hovering = hovering;
    if (m_state)
        easeFillTo(fillOpacity(m_state->phase(), hovering));
}

void HUDView::easeFillTo(double opacity)
{
    m_fillAnimation.stop();
    if (qFuzzyCompare(m_fill, opacity))
        return;
    m_fillAnimation.setStartValue(m_fill);
    m_fillAnimation.setEndValue(opacity);
    m_fillAnimation.start();
}

void HUDView::fadeIn(QWidget *content)
{
    // The effect lives only as long as the fade: afterwards the content paints directly.
    m_contentAnimation.stop();
    m_contentAnimation.disconnect(this);
    for (QWidget *w : {static_cast<QWidget *>(m_main), static_cast<QWidget *>(m_spinner), m_row})
        w->setGraphicsEffect(nullptr);
    auto *effect = new QGraphicsOpacityEffect(content);
    effect->setOpacity(0);
    content->setGraphicsEffect(effect);
    connect(&m_contentAnimation, &QVariantAnimation::valueChanged, this,
            [effect](const QVariant &v) { effect->setOpacity(v.toDouble()); });
    connect(&m_contentAnimation, &QVariantAnimation::finished, this,
            [content] { content->setGraphicsEffect(nullptr); });
    m_contentAnimation.start();
}

void HUDView::placeContent()
{
    // The single-symbol looks sit in a 48 x 44 box in the middle, whatever the panel's width
    // while it is changing; the recording row fills the capsule.
    const QRect centred((width() - contentWidth) / 2, (height() - contentHeight) / 2, contentWidth,
                        contentHeight);
    m_main->setGeometry(centred);
    m_spinner->setGeometry(centred);
    m_row->setGeometry(rect());
}

void HUDView::resizeEvent(QResizeEvent *)
{
    placeContent();
}

void HUDView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = capsule.height() / 2;
    QPainterPath path;
    path.addRoundedRect(capsule, radius, radius);
    p.fillPath(path, QColor::fromRgbF(0, 0, 0, float(m_fill)));
    p.setPen(QPen(white(0.14), 1));
    p.drawPath(path);
}

void HUDView::enterEvent(QEnterEvent *event)
{
    setHovering(true);
    QWidget::enterEvent(event);
}

void HUDView::leaveEvent(QEvent *event)
{
    setHovering(false);
    QWidget::leaveEvent(event);
}

bool HUDView::handleDrag(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (e->button() != Qt::LeftButton)
            return false;
        m_pressed = true;
        m_dragging = false;
        m_pressPoint = e->globalPosition().toPoint();
        return false;
    }
    case QEvent::MouseMove: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (!m_pressed || !(e->buttons() & Qt::LeftButton))
            return false;
        const QPoint point = e->globalPosition().toPoint();
        if (!m_dragging &&
            (point - m_pressPoint).manhattanLength() < QApplication::startDragDistance())
            return false;
        if (!m_dragging) {
            m_dragging = true;
            // A drag that started on a button is not a click of it.
            for (QAbstractButton *b :
                 {static_cast<QAbstractButton *>(m_main), static_cast<QAbstractButton *>(m_send),
                  static_cast<QAbstractButton *>(m_cancel)})
                b->setDown(false);
            Q_EMIT dragStarted();
        }
        Q_EMIT dragged(point - m_pressPoint);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const bool wasDragging = m_dragging;
        m_pressed = m_dragging = false;
        return wasDragging;
    }
    default:
        return false;
    }
}

bool HUDView::eventFilter(QObject *watched, QEvent *event)
{
    Q_UNUSED(watched);
    return handleDrag(event) || QWidget::eventFilter(watched, event);
}

void HUDView::mousePressEvent(QMouseEvent *event)
{
    handleDrag(event);
}

void HUDView::mouseMoveEvent(QMouseEvent *event)
{
    handleDrag(event);
}

void HUDView::mouseReleaseEvent(QMouseEvent *event)
{
    handleDrag(event);
}

void HUDView::mouseDoubleClickEvent(QMouseEvent *event)
{
    handleDrag(event);
}

// A stand-in demo movie: shows its own display name and a short animated presentation.

#include <QApplication>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <array>

namespace {

class Presentation : public QWidget
{
public:
    explicit Presentation(const QString &title) : m_title(title)
    {
        setWindowTitle(title);
        resize(640, 400);
        m_timer.setInterval(40);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            ++m_frame;
            update();
        });
        m_timer.start();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        static const std::array<const char *, 4> captions{
            "Welcome to this demonstration", "Choose an event and a performance",
            "Pick the seats and print the tickets", "Thank you for watching"};
        constexpr int framesPerSlide = 75;
        const int slide = qMin(m_frame / framesPerSlide, int(captions.size()) - 1);
        const double phase = double(m_frame % framesPerSlide) / framesPerSlide;

        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillRect(rect(), QColor(24, 40, 72));

        QFont heading = font();
        heading.setPointSize(22);
        heading.setBold(true);
        painter.setFont(heading);
        painter.setPen(Qt::white);
        painter.drawText(rect().adjusted(20, 30, -20, 0), Qt::AlignHCenter | Qt::AlignTop, m_title);

        QFont body = font();
        body.setPointSize(14);
        painter.setFont(body);
        painter.setPen(QColor(255, 255, 255, int(255 * qMin(1.0, phase * 3))));
        painter.drawText(rect().adjusted(20, 100, -20, 0), Qt::AlignHCenter | Qt::AlignTop,
                         QString::fromLatin1(captions[size_t(slide)]));

        // A ticket gliding across the stage.
        const double x = 40 + (width() - 200) * (slide + phase) / captions.size();
        QPainterPath ticket;
        ticket.addRoundedRect(QRectF(x, 200, 120, 60), 8, 8);
        painter.fillPath(ticket, QColor(250, 200, 60));
        painter.setPen(QPen(QColor(120, 80, 0), 2, Qt::DashLine));
        painter.drawLine(QPointF(x + 90, 204), QPointF(x + 90, 256));

        // Progress through the presentation.
        const double done = qMin(1.0, double(m_frame) / (framesPerSlide * captions.size()));
        painter.fillRect(QRectF(40, height() - 40, (width() - 80) * done, 8),
                         QColor(120, 200, 255));
        if (done >= 1.0)
            m_timer.stop();
    }

private:
    QString m_title;
    QTimer m_timer;
    int m_frame = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The display name is the file name less its last four characters, as in the player.
    const QString file = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    Presentation window(file.left(qMax(0, file.size() - 4)));
    if (const QScreen *screen = window.screen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
    return QApplication::exec();
}

// The golden pictures as a viewer takes them: well-formed XML that Qt's SVG
// module accepts and draws, with the arrows in their colours.

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <QtTest>

#include <set>
#include <string>

#include "msd/chart_model.hpp"
#include "preview/chart_loader.hpp"
#include "preview/chart_svg.hpp"

namespace {

// What Qt's SVG module says of a picture while it reads it: it drops what it
// cannot take, such as the rest of a path that is too long, and only warns.
class SvgWarnings {
public:
    SvgWarnings() : previous_(qInstallMessageHandler(Keep)) { Kept().clear(); }
    ~SvgWarnings() { qInstallMessageHandler(previous_); }
    SvgWarnings(const SvgWarnings&) = delete;
    SvgWarnings& operator=(const SvgWarnings&) = delete;

    [[nodiscard]] QString Text() const { return Kept().join(QLatin1Char('\n')); }

private:
    static QStringList& Kept() {
        static QStringList kept;
        return kept;
    }
    static void Keep(QtMsgType, const QMessageLogContext& context, const QString& message) {
        if (QByteArray(context.category).startsWith("qt.svg")) Kept() << message;
    }

    QtMessageHandler previous_;
};

QString GoldenFolder() { return QStringLiteral(TORVANE_TEST_DATA "/golden/preview"); }

QByteArray ReadAll(const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return {};
    return in.readAll();
}

QImage Draw(const QByteArray& svg) {
    QSvgRenderer renderer(svg);
    QImage image(renderer.defaultSize(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

// Colours of the pixels below the header, where the measures are.
std::set<QRgb> ChartColours(const QImage& image) {
    std::set<QRgb> colours;
    for (int y = 140; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) colours.insert(line[x] | 0xFF000000u);
    }
    return colours;
}

}  // namespace

class SvgRenderTest : public QObject {
    Q_OBJECT

private slots:
    void goldenPicturesAreValidAndDrawn_data() {
        QTest::addColumn<QString>("file");
        const QDir folder(GoldenFolder());
        const auto cases = folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        QVERIFY(!cases.isEmpty());
        for (const auto& name : cases) QTest::newRow(name.toUtf8().constData()) << folder.filePath(name + QStringLiteral("/expected.svg"));
    }

    void goldenPicturesAreValidAndDrawn() {
        QFETCH(QString, file);
        const QByteArray svg = ReadAll(file);
        QVERIFY(!svg.isEmpty());

        QXmlStreamReader xml(svg);
        bool saw_svg = false;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("svg")) {
                saw_svg = true;
                QCOMPARE(xml.namespaceUri().toString(), QStringLiteral("http://www.w3.org/2000/svg"));
                QCOMPARE(xml.attributes().value(QStringLiteral("version")).toString(), QStringLiteral("1.1"));
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(saw_svg);

        SvgWarnings warnings;
        QSvgRenderer renderer(svg);
        QVERIFY(renderer.isValid());
        QVERIFY2(warnings.Text().isEmpty(), qPrintable(warnings.Text()));
        QVERIFY(renderer.defaultSize().width() >= 680);
        const QImage image = Draw(svg);
        // The white background covers the whole picture.
        QCOMPARE(image.pixel(0, 0), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(image.width() - 1, image.height() - 1), qRgb(255, 255, 255));

        const QByteArray png_folder = qgetenv("TORVANE_PREVIEW_PNG");
        if (!png_folder.isEmpty()) {
            image.save(QString::fromLocal8Bit(png_folder) + QLatin1Char('/') + QFileInfo(file).dir().dirName() +
                       QStringLiteral(".png"));
        }
    }

    // Every rhythm of the chart shows its colour among the measures.
    void arrowsAreDrawnInTheColoursOfTheirRhythms() {
        const QImage image = Draw(ReadAll(GoldenFolder() + QStringLiteral("/single-chart-of-every-rhythm/expected.svg")));
        const auto colours = ChartColours(image);
        for (const char* colour : {"#d62828", "#1f5fd6", "#e0b000", "#2a9d3a", "#8e44ad"}) {
            QVERIFY2(colours.count(QColor(QLatin1String(colour)).rgb()) == 1, colour);
        }
        const QImage empty = Draw(ReadAll(GoldenFolder() + QStringLiteral("/chart-without-steps/expected.svg")));
        const auto none = ChartColours(empty);
        QVERIFY(none.count(QColor(QLatin1String("#d62828")).rgb()) == 0);
    }

    // Thousands of arrows of each colour, none of them left out.
    void longChartIsReadWhole() {
        torvane::Chart chart;
        chart.style = torvane::ChartStyle::kDouble;
        unsigned state = 7;
        for (int pad = 0; pad < 2; ++pad) {
            torvane::ChartPad steps;
            for (long long tick = 0; tick < 1000 * torvane::kTicksPerMeasure; tick += 6) {
                state = state * 1103515245u + 12345u;
                steps.steps.push_back({tick, static_cast<unsigned char>(1 + (state >> 16) % 15)});
            }
            steps.length = 1000 * torvane::kTicksPerMeasure;
            chart.pads.push_back(steps);
        }
        SvgWarnings warnings;
        QSvgRenderer renderer(QByteArray::fromStdString(torvane::RenderChartSvg(chart)));
        QVERIFY(renderer.isValid());
        QVERIFY2(warnings.Text().isEmpty(), qPrintable(warnings.Text()));
    }

    // The pictures of the example file, for a person to look at.
    void examplePicturesAreValid() {
        torvane::ErrorList errors;
        const auto charts = torvane::LoadCharts(TORVANE_EXAMPLES "/sample.msd", torvane::ChartFormat::kMSD, errors);
        QCOMPARE(charts.size(), std::size_t{3});
        const QByteArray png_folder = qgetenv("TORVANE_PREVIEW_PNG");
        for (std::size_t i = 0; i < charts.size(); ++i) {
            const std::string svg = torvane::RenderChartSvg(charts[i]);
            const QByteArray bytes = QByteArray::fromStdString(svg);
            QVERIFY(QSvgRenderer(bytes).isValid());
            if (!png_folder.isEmpty()) {
                Draw(bytes).save(QString::fromLocal8Bit(png_folder) + QStringLiteral("/sample-%1.png").arg(i + 1));
            }
        }
    }
};

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    SvgRenderTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "svg_render_test.moc"

// Renders the user manual from Markdown to PDF at build time:
//   qvdoc manual.md manual.pdf
// Qt's own text layout does the work, so no document tool is needed; the
// Japanese texts come out in the monospaced Japanese font the listing uses.
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QUrl>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>

// Screenshots are wider than a page: each is drawn at most `width` wide,
// keeping its proportions.
static void FitImages(QTextDocument& doc, double width) {
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            QTextFragment f = it.fragment();
            if (!f.charFormat().isImageFormat()) continue;
            QTextImageFormat image = f.charFormat().toImageFormat();
            QImage picture(doc.baseUrl().resolved(QUrl(image.name())).toLocalFile());
            if (picture.isNull() || picture.width() <= width) continue;
            image.setWidth(width);
            image.setHeight(width * picture.height() / picture.width());
            QTextCursor c(&doc);
            c.setPosition(f.position());
            c.setPosition(f.position() + f.length(), QTextCursor::KeepAnchor);
            c.setCharFormat(image);
        }
    }
}

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: qvdoc MANUAL.md OUT.pdf\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "qvdoc: cannot read %s\n", argv[1]);
        return 1;
    }
    QTextDocument doc;
    doc.setDefaultFont(QFont(QStringLiteral("IPAGothic"), 10));
    // Pictures are named relative to the manual's folder.
    doc.setBaseUrl(QUrl::fromLocalFile(QFileInfo(in.fileName()).absolutePath() + "/"));
    doc.setMarkdown(QString::fromUtf8(in.readAll()));
    FitImages(doc, 160.0 / 25.4 * 72.0);  // the A4 text width, in points

    QPdfWriter pdf(QString::fromLocal8Bit(argv[2]));
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter);
    pdf.setTitle(QStringLiteral("QV-ORT for Linux"));
    doc.print(&pdf);
    return 0;
}

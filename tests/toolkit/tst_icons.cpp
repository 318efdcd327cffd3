#include <QTest>

#include "toolkit/Icons.h"

class TestIcons : public QObject {
    Q_OBJECT

private slots:
    void knownNamesGiveIconsAtToolSizes() {
        const char* names[] = {"print",     "preview",  "add",      "edit",   "delete", "search",  "help",
                               "custcontact", "customers", "contacts", "mycust", "category", "refresh", "select",
                               "exit",      "save",     "cancel",   "users",  "lookup"};
        for (const char* name : names) {
            const QIcon icon = toolkit::drawnIcon(QString::fromLatin1(name));
            QVERIFY2(!icon.isNull(), name);
            for (int size : {16, 24}) {
                const QPixmap pm = icon.pixmap(size, size);
                QCOMPARE(pm.size(), QSize(size, size));
                // Something must actually be drawn: not a fully transparent square.
                const QImage img = pm.toImage();
                bool inked = false;
                for (int y = 0; y < img.height() && !inked; ++y)
                    for (int x = 0; x < img.width() && !inked; ++x) inked = qAlpha(img.pixel(x, y)) > 0;
                QVERIFY2(inked, name);
            }
        }
    }

    void unknownNameGivesEmptyIcon() {
        QVERIFY(toolkit::drawnIcon(QStringLiteral("no-such-icon")).isNull());
        QVERIFY(toolkit::drawnIcon(QString()).isNull());
    }
};

QTEST_MAIN(TestIcons)
#include "tst_icons.moc"

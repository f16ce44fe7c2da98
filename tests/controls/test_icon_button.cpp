// CIconButton attached to a real QPushButton in a dialog, rendered offscreen
// and checked pixel by pixel. Button 80 x 33 (the network page's "参数配置"),
// a palette whose roles all differ, and a test icon of one flat colour so its
// pixels are easy to find.
#include "CIconButton.h"

#include <QApplication>
#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <utility>

namespace {

constexpr int kW = 80;
constexpr int kH = 33;
// A 25-pixel icon alone on the 80-pixel face stands at x 28 to 52 (its
// laid-out width is 24, centred in 80), one pixel further when pressed.
constexpr int kLoneIconLeft = 28;

const QColor kFace(200, 200, 200);
const QColor kText(0, 0, 255);
const QColor kLight(250, 250, 250);
const QColor kMidlight(228, 228, 228);
const QColor kDark(128, 128, 128);
const QColor kShadow(32, 32, 32);
const QColor kBlack(0, 0, 0);
const QColor kIconColor(255, 0, 255);

QPalette TestPalette()
{
    QPalette pal = QApplication::palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Button, kFace);
        pal.setColor(group, QPalette::ButtonText, kText);
        pal.setColor(group, QPalette::Light, kLight);
        pal.setColor(group, QPalette::Midlight, kMidlight);
        pal.setColor(group, QPalette::Dark, kDark);
        pal.setColor(group, QPalette::Shadow, kShadow);
    }
    return pal;
}

QPixmap SolidIcon(int w, int h, const QColor& color = kIconColor)
{
    QPixmap pixmap(w, h);
    pixmap.fill(color);
    return pixmap;
}

QImage Render(QWidget* widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QColor At(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y);
}

// The pixels of one exact colour inside [x0, x1) x [y0, y1).
std::set<std::pair<int, int>> PixelsOf(const QImage& image, const QColor& color, int x0 = 0,
                                       int y0 = 0, int x1 = kW, int y1 = kH)
{
    std::set<std::pair<int, int>> out;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (image.pixelColor(x, y) == color)
                out.insert({x, y});
    return out;
}

// Bounding box of the pixels of one colour; null when there are none.
QRect BoxOf(const QImage& image, const QColor& color)
{
    QRect box;
    for (const auto& [x, y] : PixelsOf(image, color))
        box = box.united(QRect(x, y, 1, 1));
    return box;
}

class IconButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog = std::make_unique<QDialog>();
        dialog->setPalette(TestPalette());
        auto* layout = new QVBoxLayout(dialog.get());
        edit = new QLineEdit(dialog.get());
        layout->addWidget(edit);
        button = new QPushButton(QStringLiteral("HH"), dialog.get());
        button->setFixedSize(kW, kH);
        button->setAutoDefault(false);
        button->setProperty("controlId", 1024);
        // Plain pixels for the caption, so its colour can be matched exactly.
        QFont font = button->font();
        font.setStyleStrategy(QFont::NoAntialias);
        button->setFont(font);
        layout->addWidget(button);
        face = std::make_unique<CIconButton>();
        ASSERT_TRUE(face->AttachToButton(1024, dialog.get()));
    }

    void ShowActive()
    {
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }

    std::unique_ptr<QDialog> dialog;
    QLineEdit* edit = nullptr;
    QPushButton* button = nullptr;
    std::unique_ptr<CIconButton> face;
};

// --- construction, attach, configuration -----------------------------------

TEST(IconButtonSetup, StartsWithTheDocumentedFields)
{
    CIconButton b;
    EXPECT_EQ(b.Button(), nullptr);
    EXPECT_EQ(b.ImageMargin(), 3);
    EXPECT_EQ(b.PressedShift(), QPoint(1, 1));
    EXPECT_TRUE(b.IsFlat());
    EXPECT_FALSE(b.WasPressed());
    EXPECT_FALSE(b.WasFocused());
    EXPECT_FALSE(b.WasDisabled());
    EXPECT_FALSE(b.IsDefault());
    EXPECT_EQ(b.ImageAlignment(), 0);
    EXPECT_TRUE(b.Icon().isNull());
    EXPECT_EQ(b.IconSize(), QSize(0, 0));
    const QPalette app = QApplication::palette("QPushButton");
    for (auto state : {CIconButton::ColorIn, CIconButton::ColorOut, CIconButton::ColorFocus}) {
        EXPECT_EQ(b.Colors(state).background, app.color(QPalette::Active, QPalette::Button));
        EXPECT_EQ(b.Colors(state).foreground, app.color(QPalette::Active, QPalette::ButtonText));
    }
}

TEST(IconButtonSetup, AttachFindsTheButtonByControlIdAmongDescendants)
{
    QDialog dialog;
    auto* page = new QWidget(&dialog);  // the button sits on a page inside the dialog
    auto* other = new QPushButton(QStringLiteral("x"), page);
    other->setProperty("controlId", 1031);
    auto* target = new QPushButton(QStringLiteral("y"), page);
    target->setProperty("controlId", 1025);

    CIconButton b;
    EXPECT_TRUE(b.AttachToButton(1025, &dialog));
    EXPECT_EQ(b.Button(), target);
}

TEST(IconButtonSetup, AttachFailsWithoutChangingAnything)
{
    QDialog dialog;
    auto* plain = new QPushButton(QStringLiteral("no id"), &dialog);
    auto* edit = new QLineEdit(&dialog);  // right id, but not a push button
    edit->setProperty("controlId", 1024);
    auto* second = new QPushButton(QStringLiteral("z"), &dialog);
    second->setProperty("controlId", 1025);

    CIconButton b;
    EXPECT_FALSE(b.AttachToButton(1024, &dialog));
    EXPECT_EQ(b.Button(), nullptr);
    EXPECT_FALSE(b.AttachToButton(1025, nullptr));
    EXPECT_EQ(b.Button(), nullptr);

    // An attached object does not move to another button.
    ASSERT_TRUE(b.AttachToButton(1025, &dialog));
    plain->setProperty("controlId", 1026);
    EXPECT_FALSE(b.AttachToButton(1026, &dialog));
    EXPECT_EQ(b.Button(), second);
}

TEST(IconButtonSetup, AttachTakesOverTheDefaultState)
{
    QDialog dialog;
    auto* button = new QPushButton(QStringLiteral("OK"), &dialog);
    button->setProperty("controlId", 1);
    button->setDefault(true);
    CIconButton b;
    ASSERT_TRUE(b.AttachToButton(1, &dialog));
    EXPECT_TRUE(b.IsDefault());
}

struct LayoutCase {
    int w, h;
    int layoutW, layoutH;
};

class IconLayoutSize : public ::testing::TestWithParam<LayoutCase> {};

// The icon is laid out at twice its centre point: odd sizes lose one pixel.
TEST_P(IconLayoutSize, IsTwiceTheHalfSize)
{
    const LayoutCase c = GetParam();
    CIconButton b;
    EXPECT_EQ(b.AssignIcon(SolidIcon(c.w, c.h)), 0);
    EXPECT_EQ(b.IconSize(), QSize(c.layoutW, c.layoutH));
    EXPECT_EQ(b.Icon().size(), QSize(c.w, c.h));
}

INSTANTIATE_TEST_SUITE_P(Sizes, IconLayoutSize,
                         ::testing::Values(LayoutCase{25, 25, 24, 24}, LayoutCase{24, 24, 24, 24},
                                           LayoutCase{45, 43, 44, 42}, LayoutCase{54, 53, 54, 52},
                                           LayoutCase{1, 1, 0, 0}, LayoutCase{1, 2, 0, 2}));

TEST(IconButtonSetup, NullIconClearsTheIconAndSucceeds)
{
    CIconButton b;
    ASSERT_EQ(b.AssignIcon(SolidIcon(25, 25)), 0);
    EXPECT_EQ(b.AssignIcon(QPixmap()), 0);
    EXPECT_TRUE(b.Icon().isNull());
    EXPECT_EQ(b.IconSize(), QSize(0, 0));
}

TEST(IconButtonSetup, LoadsTheButtonIconsStretchedTo25)
{
    for (int id : {133, 135}) {
        SCOPED_TRACE(id);
        CIconButton b;
        EXPECT_EQ(b.LoadIcons(id, 25, 25), 0);
        EXPECT_EQ(b.Icon().size(), QSize(25, 25));
        EXPECT_EQ(b.IconSize(), QSize(24, 24));
    }
}

TEST(IconButtonSetup, StoredIconsHaveTheirDrawnSizes)
{
    // The pictures as stored; the program icon is square for the window and
    // the desktop.
    EXPECT_EQ(QImage(QStringLiteral(":/icon/133")).size(), QSize(45, 43));
    EXPECT_EQ(QImage(QStringLiteral(":/icon/135")).size(), QSize(54, 53));
    const QImage program(QStringLiteral(":/icon/128"));
    ASSERT_FALSE(program.isNull());
    EXPECT_EQ(program.width(), program.height());
    EXPECT_FALSE(QIcon(QStringLiteral(":/icon/128")).isNull());
    EXPECT_TRUE(program.hasAlphaChannel());
}

TEST(IconButtonSetup, MissingIconResourceLeavesNoIconAndSucceeds)
{
    CIconButton b;
    ASSERT_EQ(b.AssignIcon(SolidIcon(25, 25)), 0);
    EXPECT_EQ(b.LoadIcons(9999, 25, 25), 0);
    EXPECT_TRUE(b.Icon().isNull());
    EXPECT_EQ(b.IconSize(), QSize(0, 0));
}

TEST(IconButtonSetup, ConfigurationSettersSucceedAndStore)
{
    CIconButton b;
    EXPECT_EQ(b.SetFlatLook(false), 0);
    EXPECT_FALSE(b.IsFlat());
    EXPECT_EQ(b.SetFlatLook(true, false), 0);
    EXPECT_TRUE(b.IsFlat());
    EXPECT_EQ(b.SetImageAlignment(0), 0);
    EXPECT_EQ(b.ImageAlignment(), 0);
    EXPECT_EQ(b.SetImageAlignment(2, false), 0);
    EXPECT_EQ(b.ImageAlignment(), 2);
    EXPECT_EQ(b.ResetColors(), 0);
}

// --- the face -------------------------------------------------------------

struct PixelCase {
    int x, y;
    QColor color;
    const char* what;
};

// Resting button, no focus, not default: the four edge lines drawn in order,
// each ending one pixel short, later lines over earlier ones.
TEST_F(IconButtonTest, RestingEdgeIsTheFourLines)
{
    const QImage img = Render(button);
    const PixelCase cases[] = {
        {0, 0, kLight, "top-left corner"},
        {40, 0, kLight, "top row"},
        {78, 0, kLight, "top row ends before the outer right column"},
        {0, 16, kLight, "left column"},
        {79, 0, kShadow, "outer right column reaches the top"},
        {79, 16, kShadow, "outer right column"},
        {0, 32, kShadow, "outer bottom row starts at the left"},
        {40, 32, kShadow, "outer bottom row"},
        {79, 32, kShadow, "bottom-right corner"},
        {1, 1, kMidlight, "inner top-left"},
        {40, 1, kMidlight, "inner top row"},
        {1, 16, kMidlight, "inner left column"},
        {1, 32, kShadow, "inner left column ends under the outer bottom row"},
        {78, 1, kDark, "inner right column reaches the inner top row"},
        {78, 16, kDark, "inner right column"},
        {1, 31, kDark, "inner bottom row starts at the inner left column"},
        {40, 31, kDark, "inner bottom row"},
        {78, 31, kDark, "inner bottom-right"},
        {2, 2, kFace, "face"},
        {77, 30, kFace, "face"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(At(img, c.x, c.y), c.color) << c.what << " at " << c.x << "," << c.y;
    EXPECT_FALSE(face->WasFocused());
    EXPECT_FALSE(face->IsDefault());
}

TEST_F(IconButtonTest, PressedEdgeIsOneShadowFrame)
{
    button->setDown(true);
    const QImage img = Render(button);
    EXPECT_TRUE(face->WasPressed());
    const PixelCase cases[] = {
        {0, 0, kDark, "corner"}, {40, 0, kDark, "top"},   {79, 16, kDark, "right"},
        {40, 32, kDark, "bottom"}, {0, 16, kDark, "left"}, {1, 1, kFace, "inside"},
        {78, 31, kFace, "inside"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(At(img, c.x, c.y), c.color) << c.what << " at " << c.x << "," << c.y;
}

struct PlacementCase {
    const char* name;
    bool caption;
    bool pressed;
    QRect icon;  // where the 25 x 25 icon's pixels land
};

class IconPlacement : public IconButtonTest, public ::testing::WithParamInterface<PlacementCase> {};

// Laid out 24 x 24 but drawn at its own 25 x 25: 3 pixels in with a caption,
// centred without; top (33 - 24) / 2 = 4; pressed moves it by (1, 1).
TEST_P(IconPlacement, IconLandsWhereLaidOut)
{
    const PlacementCase c = GetParam();
    ASSERT_EQ(face->AssignIcon(SolidIcon(25, 25)), 0);
    button->setText(c.caption ? QStringLiteral("HH") : QString());
    button->setDown(c.pressed);
    EXPECT_EQ(BoxOf(Render(button), kIconColor), c.icon);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IconPlacement,
    ::testing::Values(PlacementCase{"WithCaption", true, false, QRect(3, 4, 25, 25)},
                      PlacementCase{"WithCaptionPressed", true, true, QRect(4, 5, 25, 25)},
                      PlacementCase{"Alone", false, false, QRect(kLoneIconLeft, 4, 25, 25)},
                      PlacementCase{"AlonePressed", false, true, QRect(kLoneIconLeft + 1, 5, 25, 25)}),
    [](const auto& info) { return std::string(info.param.name); });

// Centre of a box, doubled to stay in integers.
QPoint Centre2(const QRect& r)
{
    return {2 * r.left() + r.width(), 2 * r.top() + r.height()};
}

TEST_F(IconButtonTest, CaptionIsCentredRightOfTheIcon)
{
    ASSERT_EQ(face->AssignIcon(SolidIcon(25, 25)), 0);
    const QRect text = BoxOf(Render(button), kText);
    ASSERT_FALSE(text.isNull());
    // The caption area starts after the icon's layout width and one margin,
    // 24 + 3 = 27, and runs to the right edge; the text is centred in it.
    EXPECT_GE(text.left(), 27);
    EXPECT_NEAR(Centre2(text).x(), 27 + kW, 3);
    EXPECT_NEAR(Centre2(text).y(), kH, 3);
}

TEST_F(IconButtonTest, CaptionAloneIsCentredInTheButton)
{
    ASSERT_EQ(face->LoadIcons(9999, 25, 25), 0);  // the icon failed to load
    const QRect text = BoxOf(Render(button), kText);
    ASSERT_FALSE(text.isNull());
    EXPECT_NEAR(Centre2(text).x(), kW, 3);
    EXPECT_NEAR(Centre2(text).y(), kH, 3);
}

TEST_F(IconButtonTest, LongCaptionWrapsInsideTheCaptionArea)
{
    ASSERT_EQ(face->AssignIcon(SolidIcon(25, 25)), 0);
    button->setText(QStringLiteral("II II II II II II"));
    const QImage img = Render(button);
    const QRect text = BoxOf(img, kText);
    ASSERT_FALSE(text.isNull());
    EXPECT_GE(text.left(), 27);
    EXPECT_LE(text.right(), kW - 1);
    EXPECT_GT(text.height(), QFontMetrics(button->font()).height());  // more than one line
}

TEST_F(IconButtonTest, PressedMovesIconAndCaptionByOnePixel)
{
    ASSERT_EQ(face->AssignIcon(SolidIcon(25, 25)), 0);
    const QImage up = Render(button);
    button->setDown(true);
    const QImage down = Render(button);
    EXPECT_EQ(BoxOf(down, kIconColor), BoxOf(up, kIconColor).translated(1, 1));
    std::set<std::pair<int, int>> moved;
    for (const auto& [x, y] : PixelsOf(up, kText))
        moved.insert({x + 1, y + 1});
    ASSERT_FALSE(moved.empty());
    EXPECT_EQ(PixelsOf(down, kText), moved);
}

TEST_F(IconButtonTest, FocusedDrawsBlackFrameEdgeInsideAndFocusDots)
{
    ShowActive();
    button->setFocus();
    ASSERT_TRUE(button->hasFocus());
    const QImage img = Render(button);
    EXPECT_TRUE(face->WasFocused());

    for (int x = 0; x < kW; ++x) {
        EXPECT_EQ(At(img, x, 0), kBlack) << x;
        EXPECT_EQ(At(img, x, kH - 1), kBlack) << x;
    }
    for (int y = 0; y < kH; ++y) {
        EXPECT_EQ(At(img, 0, y), kBlack) << y;
        EXPECT_EQ(At(img, kW - 1, y), kBlack) << y;
    }
    // The edge, one pixel inside the frame: work rectangle (1,1)-(79,32).
    const PixelCase edge[] = {
        {1, 1, kLight, "top-left"},       {40, 1, kLight, "top"},
        {1, 16, kLight, "left"},          {2, 2, kMidlight, "inner top-left"},
        {40, 2, kMidlight, "inner top"},  {78, 1, kShadow, "right reaches the top"},
        {78, 16, kShadow, "right"},       {40, 31, kShadow, "bottom"},
        {77, 16, kDark, "inner right"},   {40, 30, kDark, "inner bottom"},
        {3, 3, kFace, "face between edge and focus rectangle"},
    };
    for (const auto& c : edge)
        EXPECT_EQ(At(img, c.x, c.y), c.color) << c.what << " at " << c.x << "," << c.y;

    // Focus rectangle 4 pixels inside the outer edge on every side: rows 4 and
    // 28, columns 4 and 75, every other pixel; the pixels beside it untouched.
    auto dotted = [&](QPoint from, QPoint step, int count) {
        int marked = 0;
        for (int i = 0; i < count; ++i) {
            const QPoint p = from + step * i;
            const bool dot = At(img, p.x(), p.y()) != kFace;
            const bool nextDot = At(img, p.x() + step.x(), p.y() + step.y()) != kFace;
            EXPECT_NE(dot, nextDot) << "not alternating at " << p.x() << "," << p.y();
            marked += dot;
        }
        return marked;
    };
    EXPECT_EQ(dotted({5, 4}, {1, 0}, 20), 10);
    EXPECT_EQ(dotted({50, 28}, {1, 0}, 20), 10);
    EXPECT_EQ(dotted({4, 6}, {0, 1}, 20), 10);
    EXPECT_EQ(dotted({75, 6}, {0, 1}, 20), 10);
    for (int x = 5; x < 25; ++x) {
        EXPECT_EQ(At(img, x, 3), kFace) << x;
        EXPECT_EQ(At(img, x, 5), kFace) << x;
    }
    for (int y = 6; y < 26; ++y) {
        EXPECT_EQ(At(img, 3, y), kFace) << y;
        EXPECT_EQ(At(img, 5, y), kFace) << y;
        EXPECT_EQ(At(img, 74, y), kFace) << y;
        EXPECT_EQ(At(img, 76, y), kFace) << y;
    }
}

TEST_F(IconButtonTest, DefaultButtonGetsTheBlackFrameButNoFocusDots)
{
    ShowActive();
    edit->setFocus();
    button->setDefault(true);
    const QImage img = Render(button);
    EXPECT_TRUE(face->IsDefault());
    EXPECT_FALSE(face->WasFocused());
    EXPECT_EQ(At(img, 0, 0), kBlack);
    EXPECT_EQ(At(img, 40, kH - 1), kBlack);
    EXPECT_EQ(At(img, kW - 1, 16), kBlack);
    // Still our own face: the edge one pixel in, the face without dots.
    EXPECT_EQ(At(img, 1, 1), kLight);
    EXPECT_EQ(At(img, 2, 2), kMidlight);
    EXPECT_EQ(At(img, 78, 16), kShadow);
    for (int x = 5; x < 25; ++x)
        EXPECT_EQ(At(img, x, 4), kFace) << x;

    button->setDefault(false);
    const QImage plain = Render(button);
    EXPECT_FALSE(face->IsDefault());
    EXPECT_EQ(At(plain, 0, 0), kLight);
}

// The dialog hands the default state to whichever auto-default button has the
// focus; the face follows.
TEST_F(IconButtonTest, FollowsTheDialogMovingTheDefaultState)
{
    auto* other = new QPushButton(QStringLiteral("other"), dialog.get());
    dialog->layout()->addWidget(other);
    button->setAutoDefault(true);
    other->setAutoDefault(true);
    ShowActive();

    button->setFocus();
    EXPECT_EQ(At(Render(button), 0, 0), kBlack);
    other->setFocus();
    ASSERT_FALSE(button->isDefault());
    EXPECT_EQ(At(Render(button), 0, 0), kLight);
    EXPECT_FALSE(face->IsDefault());
}

TEST_F(IconButtonTest, DisabledCaptionIsEngravedLightThenDark)
{
    const QImage enabled = Render(button);
    button->setEnabled(false);
    const QImage disabled = Render(button);
    EXPECT_TRUE(face->WasDisabled());

    // Inside the edge only; the edge itself uses the same two colours.
    const int x0 = 3, y0 = 3, x1 = kW - 3, y1 = kH - 3;
    const auto ink = PixelsOf(enabled, kText, x0, y0, x1, y1);
    ASSERT_FALSE(ink.empty());
    EXPECT_TRUE(PixelsOf(disabled, kText, x0, y0, x1, y1).empty());
    EXPECT_EQ(PixelsOf(disabled, kDark, x0, y0, x1, y1), ink);
    std::set<std::pair<int, int>> light;
    for (const auto& [x, y] : ink)
        if (!ink.count({x + 1, y + 1}))
            light.insert({x + 1, y + 1});
    EXPECT_EQ(PixelsOf(disabled, kLight, x0, y0, x1, y1), light);
}

TEST_F(IconButtonTest, DisabledIconIsEngravedLightThenDark)
{
    ASSERT_EQ(face->AssignIcon(SolidIcon(25, 25, QColor(0, 0, 64))), 0);  // dark all over
    button->setText(QString());  // the icon alone, centred: x 28..52, y 4..28
    button->setEnabled(false);
    const QImage img = Render(button);
    EXPECT_TRUE(PixelsOf(img, QColor(0, 0, 64)).empty());

    const int left = kLoneIconLeft, top = 4;
    std::set<std::pair<int, int>> dark, light;
    for (int y = top; y < top + 25; ++y)
        for (int x = left; x < left + 25; ++x)
            dark.insert({x, y});
    for (int i = 1; i <= 25; ++i) {
        light.insert({left + 25, top + i});  // right, one pixel out and down
        light.insert({left + i, top + 25});  // bottom, one pixel out and right
    }
    EXPECT_EQ(PixelsOf(img, kDark, 3, 3, kW - 3, kH - 3), dark);
    EXPECT_EQ(PixelsOf(img, kLight, 3, 3, kW - 3, kH - 3), light);
}

// Light parts of an icon stay open in the engraving, transparent ones too.
TEST_F(IconButtonTest, DisabledIconLeavesLightAndTransparentPartsOpen)
{
    QPixmap icon(25, 25);
    icon.fill(Qt::transparent);
    {
        QPainter p(&icon);
        p.fillRect(0, 0, 12, 25, QColor(250, 250, 250));  // left half light
        p.fillRect(12, 0, 13, 25, QColor(20, 20, 20));    // right half dark
    }
    QPixmap seeThrough(25, 25);
    seeThrough.fill(QColor(0, 0, 0, 100));  // dark but mostly transparent
    button->setText(QString());
    button->setEnabled(false);
    const int left = kLoneIconLeft, top = 4;

    ASSERT_EQ(face->AssignIcon(icon), 0);
    const auto dark = PixelsOf(Render(button), kDark, 3, 3, kW - 3, kH - 3);
    EXPECT_EQ(dark.size(), 13u * 25u);
    EXPECT_EQ(*dark.begin(), std::make_pair(left + 12, top));

    ASSERT_EQ(face->AssignIcon(seeThrough), 0);
    EXPECT_TRUE(PixelsOf(Render(button), kDark, 3, 3, kW - 3, kH - 3).empty());
}

// --- behaviour --------------------------------------------------------------

TEST_F(IconButtonTest, ClickReachesTheDialogAndTakesTheFocus)
{
    ShowActive();
    edit->setFocus();
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_TRUE(button->hasFocus());

    // Also when clicked from code, which no mouse focus handling covers.
    edit->setFocus();
    button->click();
    EXPECT_EQ(clicked.count(), 2);
    EXPECT_TRUE(button->hasFocus());
}

TEST_F(IconButtonTest, DoubleClickCountsAsTwoClicks)
{
    ShowActive();
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    // What the window system delivers for a double-click.
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton);
    QTest::mouseDClick(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 2);
}

TEST_F(IconButtonTest, RightDoubleClickDoesNotClick)
{
    ShowActive();
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QTest::mouseDClick(button, Qt::RightButton);
    QTest::mouseRelease(button, Qt::RightButton);
    EXPECT_EQ(clicked.count(), 0);
}

TEST_F(IconButtonTest, ColoursFollowAPaletteChange)
{
    const QColor face2(90, 160, 90), text2(255, 255, 0), light2(240, 255, 240);
    QPalette pal = TestPalette();
    pal.setColor(QPalette::Button, face2);
    pal.setColor(QPalette::ButtonText, text2);
    pal.setColor(QPalette::Light, light2);
    dialog->setPalette(pal);  // reaches the button as a palette change

    for (auto state : {CIconButton::ColorIn, CIconButton::ColorOut, CIconButton::ColorFocus}) {
        EXPECT_EQ(face->Colors(state).background, face2);
        EXPECT_EQ(face->Colors(state).foreground, text2);
    }
    const QImage img = Render(button);
    EXPECT_EQ(At(img, 2, 2), face2);
    EXPECT_EQ(At(img, 0, 0), light2);
    EXPECT_FALSE(PixelsOf(img, text2).empty());
    EXPECT_TRUE(PixelsOf(img, kText).empty());
}

TEST(IconButtonPalette, FollowsTheApplicationPalette)
{
    const QPalette saved = QApplication::palette();
    QDialog dialog;
    auto* button = new QPushButton(QStringLiteral("HH"), &dialog);
    button->setFixedSize(kW, kH);
    button->setProperty("controlId", 1025);
    CIconButton b;
    ASSERT_TRUE(b.AttachToButton(1025, &dialog));

    QPalette pal = saved;
    pal.setColor(QPalette::Button, QColor(10, 20, 30));
    pal.setColor(QPalette::ButtonText, QColor(200, 210, 220));
    QApplication::setPalette(pal);
    QApplication::processEvents();  // widgets hear of it from the event loop
    EXPECT_EQ(b.Colors(CIconButton::ColorOut).background, QColor(10, 20, 30));
    EXPECT_EQ(b.Colors(CIconButton::ColorOut).foreground, QColor(200, 210, 220));
    EXPECT_EQ(At(Render(button), 2, 2), QColor(10, 20, 30));
    QApplication::setPalette(saved);
    QApplication::processEvents();
}

// --- lifetime ---------------------------------------------------------------

TEST_F(IconButtonTest, DestroyingTheFaceGivesTheButtonBackItsOwnPainting)
{
    ASSERT_EQ(face->AssignIcon(SolidIcon(25, 25)), 0);
    ASSERT_FALSE(PixelsOf(Render(button), kIconColor).empty());
    face.reset();
    EXPECT_TRUE(PixelsOf(Render(button), kIconColor).empty());
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    button->click();
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(IconButtonTest, ButtonMayGoFirst)
{
    delete button;
    button = nullptr;
    EXPECT_EQ(face->Button(), nullptr);
    EXPECT_EQ(face->AssignIcon(SolidIcon(25, 25)), 0);
    EXPECT_EQ(face->ResetColors(), 0);
    face.reset();
}

// Owned by the button itself: goes with it.
TEST(IconButtonLifetime, MayBeOwnedByTheButton)
{
    QDialog dialog;
    auto* button = new QPushButton(QStringLiteral("HH"), &dialog);
    button->setProperty("controlId", 1024);
    QPointer<CIconButton> b = new CIconButton(button);
    ASSERT_TRUE(b->AttachToButton(1024, &dialog));
    dialog.show();
    delete button;
    EXPECT_TRUE(b.isNull());
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

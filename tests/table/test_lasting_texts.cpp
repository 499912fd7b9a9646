// The store of texts a table repeats, kept for the life of the program: in a program of its own,
// since one test fills it for good.

#include "table/lasting_texts.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace quilex;

namespace {

QString nth(int n)
{
    return QStringLiteral("т%1").arg(n, 6, 10, QLatin1Char('0'));
}

} // namespace

// Threads asking for the same texts at once all get them, and each text is kept once.
TEST(LastingTexts, ThreadsAskingAtOnceShareOneCopy)
{
    constexpr int Texts = 3000;
    std::vector<std::vector<QString>> answers(4);
    std::vector<std::thread> threads;
    for (auto& answer : answers)
        threads.emplace_back([&answer] {
            for (int n = 0; n < Texts; ++n)
                answer.push_back(lasting_texts::keep(nth(n)));
        });
    for (auto& thread : threads)
        thread.join();
    for (int n = 0; n < Texts; ++n) {
        for (const auto& answer : answers) {
            ASSERT_EQ(answer[static_cast<size_t>(n)], nth(n));
            ASSERT_EQ(answer[static_cast<size_t>(n)].constData(), answers[0][static_cast<size_t>(n)].constData());
        }
    }
}

TEST(LastingTexts, NumbersAreTheirDecimalTexts)
{
    for (unsigned n = 0; n <= lasting_texts::MaxNumber; ++n)
        ASSERT_EQ(lasting_texts::number(n), QString::number(n));
}

// Once full, the store still answers every text rightly, and what it kept stays as it was.
TEST(LastingTexts, AFullStoreAnswersWithCopies)
{
    EXPECT_EQ(lasting_texts::keep(u""), QString());
    const QString longText(lasting_texts::MaxTextSize + 1, u'ж');
    EXPECT_EQ(lasting_texts::keep(longText), longText);

    const int count = int(lasting_texts::MaxCharacters / 8) + 5000; // 8 with its end
    std::vector<QString> kept;
    for (int n = 0; n < count; ++n) {
        kept.push_back(lasting_texts::keep(nth(n)));
        ASSERT_EQ(kept.back(), nth(n));
    }
    for (int n = 0; n < count; ++n)
        ASSERT_EQ(kept[static_cast<size_t>(n)], nth(n)) << n;
    EXPECT_EQ(lasting_texts::keep(nth(1)).constData(), kept[1].constData());
    QString changed = kept[2];
    changed[0] = u'Ж';
    EXPECT_EQ(lasting_texts::keep(nth(2)), nth(2));
}

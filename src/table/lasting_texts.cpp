#include "table/lasting_texts.h"

#include <QHash>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

namespace quilex::lasting_texts {

namespace {

struct ViewHash {
    size_t operator()(QStringView text) const noexcept { return qHash(text); }
};

class Store {
public:
    QString keep(QStringView text)
    {
        if (text.isEmpty() || text.size() > MaxTextSize)
            return text.toString();
        const std::lock_guard lock(mutex_);
        if (const auto found = kept_.find(text); found != kept_.end())
            return QString::fromRawData(found->data(), found->size());
        if (used_ + text.size() + 1 > MaxCharacters)
            return text.toString();
        if (chunks_.empty() || chunkUsed_ + text.size() + 1 > ChunkSize) {
            chunks_.push_back(std::make_unique<QChar[]>(ChunkSize));
            chunkUsed_ = 0;
        }
        QChar* at = chunks_.back().get() + chunkUsed_;
        std::copy(text.begin(), text.end(), at);
        at[text.size()] = QChar(); // ended as any other text, for whoever asks for its characters
        chunkUsed_ += text.size() + 1;
        used_ += text.size() + 1;
        kept_.insert(QStringView(at, text.size()));
        return QString::fromRawData(at, text.size());
    }

private:
    static constexpr qsizetype ChunkSize = qsizetype{1} << 15;

    std::mutex mutex_;
    std::unordered_set<QStringView, ViewHash> kept_;
    std::vector<std::unique_ptr<QChar[]>> chunks_;
    qsizetype chunkUsed_ = 0;
    qsizetype used_ = 0;
};

// The digits of every number up to MaxNumber, each in a place of Width characters.
class Numbers {
public:
    Numbers() : digits_(std::make_unique<QChar[]>(size_t{MaxNumber + 1} * Width))
    {
        for (unsigned value = 0; value <= MaxNumber; ++value) {
            QChar* at = digits_.get() + size_t{value} * Width;
            char text[Width];
            int size = 0;
            unsigned rest = value;
            do {
                text[size++] = static_cast<char>('0' + rest % 10);
                rest /= 10;
            } while (rest != 0);
            sizes_[value] = static_cast<std::uint8_t>(size);
            for (int i = 0; i < size; ++i)
                at[i] = QLatin1Char(text[size - 1 - i]);
            at[size] = QChar();
        }
    }

    QString text(unsigned value) const
    {
        return QString::fromRawData(digits_.get() + size_t{value} * Width, sizes_[value]);
    }

private:
    static constexpr int Width = 6; // five digits and the end
    std::unique_ptr<QChar[]> digits_;
    std::array<std::uint8_t, MaxNumber + 1> sizes_{};
};

} // namespace

QString number(unsigned value)
{
    if (value > MaxNumber)
        return QString::number(value);
    static const Numbers* const numbers = new Numbers;
    return numbers->text(value);
}

QString keep(QStringView text)
{
    // Never destroyed: texts over it may live in other objects destroyed at exit.
    static Store* const store = new Store;
    return store->keep(text);
}

} // namespace quilex::lasting_texts

#include "app/RunSummary.h"

#include <algorithm>
#include <cmath>

#include "filters/PixelFilter.h"

namespace {

// Colours as the arguments give them, RRGGBB.
std::string hex(uint32_t colour) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text(6, '0');
    for (size_t at = text.size(); at-- > 0; colour >>= 4) {
        text[at] = kDigits[colour & 0xF];
    }
    return text;
}

// 42000000 as 42,000,000.
std::string grouped(uint64_t count) {
    std::string digits = std::to_string(count);
    for (size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, ",");
    }
    return digits;
}

}  // namespace

RunSummary::RunSummary(const JobOrder& order, const ImageJob::FilterCounts& counts, uint64_t pixels)
    : order_(order), changed_(counts.changed), pixels_(pixels) {
    if (order.settings.option() != 1) {
        return;
    }
    for (size_t n = 0; n < PixelFilter::kKeys; ++n) {
        const auto colour = static_cast<uint32_t>(order.settings.keepColour(n));
        const bool listed = std::any_of(keys_.begin(), keys_.end(),
                                        [colour](const Key& key) { return key.colour == colour; });
        if (colour != PixelFilter::kRemoved && !listed) {
            keys_.push_back({colour, counts.kept[n], counts.fits[n]});
        }
    }
    for (const Key& key : keys_) {
        changed_ += key.pixels;
    }
}

std::string RunSummary::share(uint64_t count) const {
    const auto tenths = static_cast<uint64_t>(std::llround(
        pixels_ == 0 ? 0.0 : 1000.0 * static_cast<double>(count) / static_cast<double>(pixels_)));
    return " in " + grouped(count) + " of " + grouped(pixels_) + " pixels (" +
           std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " %)";
}

// With --fuzz, the colours within the distance of a key; with --fit, the inks, each with the
// centre of its cloud, or the distance that stood in for a cloud that could not be fitted.
std::string RunSummary::keptLine() const {
    const KeepReach& reach = order_.reach;
    std::string done = !reach.given    ? "colours kept"
                       : reach.fit > 0 ? "inks within " + reach.fitted + " standard deviations kept"
                                       : "colours within " + reach.distance + " of a key kept";
    done += share(changed_) + ":";
    for (const Key& key : keys_) {
        done += (&key == &keys_.front() ? " " : "; ") + keyWords(key) + " " + grouped(key.pixels);
    }
    return done;
}

std::string RunSummary::keyWords(const Key& key) const {
    if (order_.reach.fit <= 0) {
        return hex(key.colour);
    }
    return hex(key.colour) + (key.fit.outcome == InkFit::Outcome::Fitted
                                  ? " (centre " + hex(key.fit.cloud.centre()) + ")"
                                  : " (within " + order_.reach.distance + ")");
}

std::string RunSummary::fitWarning(const Key& key) const {
    const std::string near =
        "the colours within " + order_.reach.distance + " of " + hex(key.colour);
    const std::string instead = "; kept those within " + order_.reach.distance + " instead";
    if (key.fit.outcome == InkFit::Outcome::TooFewColours) {
        return near + " are too few to fit a cloud to (" + std::to_string(key.fit.colours) + ")" +
               instead;
    }
    return near + " lie in a plane or on a line, so no cloud fits them" + instead;
}

std::string RunSummary::line() const {
    std::string done;
    const SettingsCopy& settings = order_.settings;
    switch (settings.option()) {
        case 1:
            done = keptLine();
            break;
        case 2:
            done = "band " + hex(static_cast<uint32_t>(settings.lowFilter())) + " to " +
                   hex(static_cast<uint32_t>(settings.highFilter())) + " removed" + share(changed_);
            break;
        case 3:
            done = "contours black" + share(changed_);
            break;
        default:
            done = "red cast damped" + share(changed_);
    }
    return shown(order_.input) + " -> " + shown(order_.output) + ": " + done;
}

std::vector<std::string> RunSummary::warnings() const {
    std::vector<std::string> said;
    const KeepReach& reach = order_.reach;
    for (const Key& key : keys_) {
        if (reach.fit > 0 && key.fit.outcome != InkFit::Outcome::Fitted) {
            said.push_back(fitWarning(key));
        }
        if (key.pixels == 0) {
            said.push_back(
                reach.given ? "no pixel of the image was kept for the colour " + hex(key.colour)
                            : "the colour " + hex(key.colour) + " matches no pixel of the image");
        }
    }
    const int32_t option = order_.settings.option();
    if (option == 2 && changed_ == 0) {
        said.push_back("the band " + hex(static_cast<uint32_t>(order_.settings.lowFilter())) +
                       " to " + hex(static_cast<uint32_t>(order_.settings.highFilter())) +
                       " holds no pixel of the image; none was removed");
    }
    if (option == 4 && changed_ == 0) {
        said.push_back(
            "no pixel of the image has the red cast (red above 90, green and blue below 130); "
            "none was damped");
    }
    return said;
}

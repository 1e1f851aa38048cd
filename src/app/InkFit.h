#pragma once

#include <cstdint>
#include <vector>

#include "app/ColourCensus.h"
#include "dialogue/JobOrder.h"
#include "filters/InkCloud.h"

// The cloud of one ink's colours on a scan, fitted around its key: the image's colours within
// the fuzz distance of the key, weighted by their pixels, give a mean and a covariance; those
// of them within the fit's number of standard deviations of that mean (the Mahalanobis
// distance) give the next, until the colours taken settle or a few rounds have passed. The
// rounds never look beyond the distance, where the paper's weight would pull the cloud away;
// the cloud they settle on reaches as far as its standard deviations take it, along the
// ink's blur. Too few colours, or colours that lie in a plane or on a line, give no cloud:
// the sphere of the fuzz distance stands in for it, and the outcome says why.
struct InkFit {
    enum class Outcome { Fitted, TooFewColours, Flat };

    InkCloud cloud;
    Outcome outcome = Outcome::Fitted;
    uint32_t colours{};  // the distinct colours the cloud was last fitted to
};

// colours: the image's colours, each once, lowest word first.
InkFit fitInk(uint32_t key, const KeepReach& reach,
              const std::vector<ColourCensus::Share>& colours);

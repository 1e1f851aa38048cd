#pragma once

#include <cstdint>
#include <string_view>

// A colour as a person types or pastes it: six hex digits RRGGBB. White space around it and
// one leading "#", "0x" or "0X" (as colour pickers and web pages write colours) are dropped;
// characters after the sixth digit are ignored, but for the packed word 0x00RRGGBB, which is
// read whole. A lone "0" or nothing at all means "no colour".
struct ColourAnswer {
    enum class Kind { Colour, NoColour, Mistyped };

    Kind kind = Kind::Mistyped;
    // 0x00RRGGBB, for a Colour only.
    uint32_t word{};

    static ColourAnswer of(std::string_view typed);
    // A colour given as an argument, where nothing is dropped or ignored: exactly RRGGBB,
    // #RRGGBB, 0xRRGGBB or 0x00RRGGBB; anything else is Mistyped.
    static ColourAnswer exactly(std::string_view given);
};

// Composes a stage, read-only, as USD defines it, into one flattened Stage that holds only
// what is drawn: defined (def), active prims whose purpose is not guide or proxy, with the
// strongest opinion of every attribute, relationship and metadata. Opinions come, strongest
// first, from the layer stack (the layer and its subLayers, nested; offsets ignored), then
// along each prim's arcs in the order local, inherits, variants, references, payloads,
// specializes (direct arcs before ancestral ones of the same kind). References and payloads
// name another layer's prim (its defaultPrim when no prim is named) or a prim of the same
// layer stack; a variant set contributes the variant its strongest selection names, and
// nothing without one. Class and over-only prims are left out with everything below them.
// Relationship targets and connections move with the arc that brought them ("/Asset/Looks"
// referenced at "/World/Chair" is "/World/Chair/Looks"); targets outside it are dropped.
// Each composed attribute names the layer its value came from (Attribute::layer), for
// LayerFiles::readAsset.
//
// A layer that cannot be read, a missing prim or default prim, and an arc that would lead
// back to itself or to a source the prim already has contribute nothing; the rest stands.
// Passing a limit throws LoaderError::parseError naming it.
#pragma once

#include "LayerFiles.h"
#include "UsdStage.h"

#include <memory>
#include <string>
#include <vector>

namespace trimeo::usd {

struct CompositionLimits {
    std::size_t maxPrims = 500'000;    // composed prims (a layer composing nothing is not counted)
    int maxArcDepth = 64;              // arcs followed one inside another
    std::size_t maxSteps = 2'000'000;  // opinion sources built, all prims together
    std::size_t maxValues = 32'000'000; // numbers and texts of composed attributes, all prims together
};

struct ComposedStage {
    Stage stage;
    std::vector<std::string> notes; // arcs that contributed nothing, and why
};

ComposedStage compose(const std::shared_ptr<const Layer>& model, LayerFiles& files,
                      const CompositionLimits& limits = {});

// A layer with no subLayers and no prim with arcs or variant sets composes to itself, pruned
// as above; composeAlone does that by taking the layer's stage, sparing the copy. Nothing
// is multiplied there, so no limit applies beyond the reader's nesting depth.
bool needsComposition(const Stage& stage);
Stage composeAlone(Layer& model);

} // namespace trimeo::usd

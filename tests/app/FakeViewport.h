// Test-only stand-in for the OpenGL viewport, built on the same header. By default a
// new fake loads its file with the real ModelLoader on the next event-loop turn and
// reports with the same signals as the real one; in hold mode it waits for finish().
#pragma once

#include "viewport/SceneKitView.h"

#include <string>

namespace trimeo::fake {

enum class Mode { load, hold };
void setMode(Mode mode);
int createdCount();

// Ends a held load as the real viewport would: success, or failure with `error`.
void finish(SceneKitView* view, bool hasAnimations);
void fail(SceneKitView* view, const std::string& error);

bool wireframeOf(const SceneKitView* view);
// How many times the host has handed the view its options.
int refreshCount(const SceneKitView* view);
int resetCount(const SceneKitView* view);

} // namespace trimeo::fake

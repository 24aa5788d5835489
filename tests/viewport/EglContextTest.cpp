// Contexts without a window system: each EGL platform gives an OpenGL 3.3 context that
// the renderer accepts and that draws into a framebuffer, with no display named at all.
#include "viewport/EglContext.h"
#include "viewport/GLSceneRenderer.h"

#include <epoxy/gl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace trimeo {
namespace {

TEST(EglContext, EachPlatformDrawsWithoutADisplay) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    for (auto platform : {EglContext::Platform::surfaceless, EglContext::Platform::device}) {
        SCOPED_TRACE(platform == EglContext::Platform::surfaceless ? "surfaceless" : "device");
        EglContext context(platform);
        EXPECT_FALSE(context.renderer().empty());
        EXPECT_TRUE(epoxy_is_desktop_gl());
        EXPECT_GE(epoxy_gl_version(), 33);

        gl::GLSceneRenderer renderer;
        std::string error;
        ASSERT_TRUE(renderer.initialize(&error)) << error;

        GLuint framebuffer = 0, colour = 0;
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glGenRenderbuffers(1, &colour);
        glBindRenderbuffer(GL_RENDERBUFFER, colour);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, 4, 4);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
        renderer.render(scene::Matrix4::identity(), scene::Matrix4::identity(), 4, 4, {0.2f, 0.4f, 0.6f, 0.5f});
        unsigned char pixel[4] = {};
        glReadPixels(1, 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        EXPECT_NEAR(pixel[0], 51, 1);
        EXPECT_NEAR(pixel[1], 102, 1);
        EXPECT_NEAR(pixel[2], 153, 1);
        EXPECT_NEAR(pixel[3], 128, 1) << "the background's alpha is kept, for transparent thumbnails";
        renderer.release();
        glDeleteRenderbuffers(1, &colour);
        glDeleteFramebuffers(1, &framebuffer);
    }
}

TEST(EglContext, RendererRefusesToStartWithoutAContext) {
    gl::GLSceneRenderer renderer;
    std::string error;
    EXPECT_FALSE(renderer.initialize(&error));
    EXPECT_EQ(error, "no current OpenGL context");
}

} // namespace
} // namespace trimeo

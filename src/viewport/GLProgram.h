// A linked GLSL program built from a vertex and a fragment shader, with its entry points
// taken from whichever OpenGL context is current (Qt's in the window, EGL's without a
// display). Needs the building context current for every call, the destructor included.
#pragma once

#include <memory>
#include <string>

namespace trimeo::gl {

class GLProgram {
public:
    // Null, with the compiler's or linker's log in `error`, when either stage fails.
    static std::unique_ptr<GLProgram> build(const std::string& vertexSource, const std::string& fragmentSource,
                                            std::string* error = nullptr);
    ~GLProgram();
    GLProgram(const GLProgram&) = delete;
    GLProgram& operator=(const GLProgram&) = delete;

    void bind() const;
    // -1 for a name the program does not use.
    int uniformLocation(const char* name) const;

private:
    explicit GLProgram(unsigned id) : id_(id) {}
    unsigned id_;
};

} // namespace trimeo::gl

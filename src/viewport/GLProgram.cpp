#include "GLProgram.h"

#include <epoxy/gl.h>

namespace trimeo::gl {
namespace {

std::string infoLog(GLuint object, bool isProgram) {
    GLint length = 0;
    if (isProgram) glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
    else glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    std::string log(std::size_t(length > 0 ? length : 0), '\0');
    if (length > 0) {
        if (isProgram) glGetProgramInfoLog(object, length, nullptr, log.data());
        else glGetShaderInfoLog(object, length, nullptr, log.data());
        log.resize(log.find('\0') == std::string::npos ? log.size() : log.find('\0'));
    }
    return log;
}

GLuint compile(GLenum stage, const std::string& source, std::string* error) {
    const GLuint shader = glCreateShader(stage);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok) return shader;
    if (error) *error = (stage == GL_VERTEX_SHADER ? "vertex shader: " : "fragment shader: ") + infoLog(shader, false);
    glDeleteShader(shader);
    return 0;
}

} // namespace

std::unique_ptr<GLProgram> GLProgram::build(const std::string& vertexSource, const std::string& fragmentSource,
                                            std::string* error) {
    const GLuint vertex = compile(GL_VERTEX_SHADER, vertexSource, error);
    if (!vertex) return nullptr;
    const GLuint fragment = compile(GL_FRAGMENT_SHADER, fragmentSource, error);
    if (!fragment) {
        glDeleteShader(vertex);
        return nullptr;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    // The program keeps what it needs; the shaders go once it is linked.
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        if (error) *error = "link: " + infoLog(program, true);
        glDeleteProgram(program);
        return nullptr;
    }
    return std::unique_ptr<GLProgram>(new GLProgram(program));
}

GLProgram::~GLProgram() { glDeleteProgram(id_); }

void GLProgram::bind() const { glUseProgram(id_); }

int GLProgram::uniformLocation(const char* name) const { return glGetUniformLocation(id_, name); }

} // namespace trimeo::gl

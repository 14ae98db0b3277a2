// The floor under the game's start and memory: the least a program that
// draws with this machine's OpenGL driver pays before its first frame. Like
// bench_startup it starts itself again as a child for each run, from exec to
// a presented frame, linked as the game is; but the child only makes a window
// of the game's size with the game's context, builds one program, draws one
// textured triangle and presents it. What it costs is the driver's and SDL's,
// not the game's: the game's own start is this plus its own work. Prints the
// medians of the runs and the child's peak resident memory.
#include <sys/resource.h>

#include <epoxy/gl.h>
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "bench/clock.h"
#include "bench/quick.h"

namespace {

const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 colour;
layout(location = 2) in vec2 uv;
out vec4 vColour;
out vec2 vUv;
void main() { gl_Position = vec4(position, 1.0); vColour = colour; vUv = uv; }
)";

const char* kFragmentShader = R"(#version 330 core
in vec4 vColour;
in vec2 vUv;
uniform sampler2D picture;
out vec4 fragment;
void main() { fragment = vColour * texture(picture, vUv); }
)";

GLuint Shader(GLenum kind, const char* text) {
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    return shader;
}

int Child(double parentStart) {
    const double mainEntered = NowMs();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return 1;
    const double video = NowMs();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_Window* window = SDL_CreateWindow("", 0, 0, 1024, 768, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) return 1;
    const double windowMade = NowMs();
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) return 1;
    const double contextMade = NowMs();

    GLuint program = glCreateProgram();
    glAttachShader(program, Shader(GL_VERTEX_SHADER, kVertexShader));
    glAttachShader(program, Shader(GL_FRAGMENT_SHADER, kFragmentShader));
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) return 1;
    const float vertices[] = {-0.8f, -0.8f, 0.5f, 1, 0, 0, 1, 0, 0,  //
                              0.8f,  -0.8f, 0.5f, 0, 1, 0, 1, 1, 0,  //
                              0.0f,  0.8f,  0.5f, 0, 0, 1, 1, 0, 1};
    GLuint array = 0, buffer = 0, texture = 0;
    glGenVertexArrays(1, &array);
    glBindVertexArray(array);
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof vertices, vertices, GL_STATIC_DRAW);
    const GLsizei stride = 9 * sizeof(float);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
    glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(3 * sizeof(float)));
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(7 * sizeof(float)));
    for (GLuint i = 0; i < 3; ++i) glEnableVertexAttribArray(i);
    std::vector<unsigned char> pixels(64 * 64 * 4, 200);
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    SDL_ShowWindow(window);
    glViewport(0, 0, 1024, 768);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glUseProgram(program);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    SDL_GL_SwapWindow(window);
    glFinish();
    const double first = NowMs();
    GLubyte centre[4] = {};
    glReadPixels(512, 384, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, centre);
    std::printf("step process_to_main %.3f\n", mainEntered - parentStart);
    std::printf("step video %.3f\n", video - mainEntered);
    std::printf("step window %.3f\n", windowMade - video);
    std::printf("step context %.3f\n", contextMade - windowMade);
    std::printf("step first_frame %.3f\n", first - contextMade);
    std::printf("total to_first_frame %.3f\n", first - parentStart);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("memory peak_resident %.3f\n", double(usage.ru_maxrss) / 1024.0);
    // A triangle that did not land would make the figures those of no drawing.
    std::printf("drawn %d\n", centre[0] + centre[1] + centre[2] > 0 ? 1 : 0);
    std::fflush(stdout);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--child") return Child(std::atof(argv[2]));
    const bool quick = QuickRun(argc, argv);
    const int runs = quick ? 1 : argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::map<std::string, std::vector<double>> figures;
    std::vector<std::string> order;
    for (int run = 0; run < runs; ++run) {
        bool drawn = false;
        const auto collect = [&](const char* line) {
            char kind[32], name[96];
            double value = 0;
            if (std::sscanf(line, "%31s %95s %lf", kind, name, &value) == 3) {
                const std::string key =
                    std::string("driver_floor_") + (std::strcmp(kind, "step") == 0 ? "step_" : "") + name;
                if (!figures.count(key)) order.push_back(key);
                figures[key].push_back(value);
            } else if (std::strncmp(line, "drawn 1", 7) == 0) {
                drawn = true;
            }
        };
        if (!RunSelfAsChild(argv[0], collect) || !drawn) {
            std::fprintf(stderr, "bench_driver_floor: the child drew nothing (run %d)\n", run);
            return 1;
        }
    }
    for (const std::string& key : order) {
        const bool memory = key.find("resident") != std::string::npos;
        std::printf("%s %.1f %s\n", key.c_str(), Median(figures[key]), memory ? "MB" : "ms");
    }
    return 0;
}

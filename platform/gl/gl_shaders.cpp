// The shader pair that stands in for Direct3D 8's fixed-function pipeline:
// transforms with row-vector matrices, per-vertex lighting in camera space,
// texture stage 0 and the alpha test. One source serves GLSL 3.30 core and
// GLSL 1.30; variants come from #defines.
#include <cstdint>
#include <string>

#include "gl_internal.h"

namespace {

// The matrices arrive exactly as Direct3D stores them (row-major, row
// vectors). Read as column-major they are transposed, so M * v in GLSL is
// Direct3D's v * M, and the world matrix's rows arrive as the columns of a mat4.
const char* const kVertexSource = R"GLSL(
#ifdef FLAT_SHADING
#define COLOR_OUT flat out
#else
#define COLOR_OUT out
#endif

in vec4 aPosition;
in vec3 aNormal;
in vec4 aDiffuse;
in vec4 aSpecular;
in vec2 aTexCoord;
in vec4 aWorld0;
in vec4 aWorld1;
in vec4 aWorld2;
in vec4 aWorld3;

uniform mat4 uView;
uniform mat4 uViewProj;
uniform vec4 uScreen;  // 2 / back buffer width, 2 / back buffer height
// The vertex format and the kinds of lights either come fixed into the source
// (the compiler then drops every path not taken, which the software renderer
// would otherwise run for every vertex) or are read from uniforms.
#ifdef FIXED_VERTEX
const int uPreTransformed = PRE_TRANSFORMED;
const int uHasNormal = HAS_NORMAL;
const int uLighting = LIGHTING;
const int uLightCount = LIGHT_COUNT;
const ivec4 uMatSource = ivec4(MAT_SOURCE);
const int uSpecularEnable = SPECULAR_ENABLE;
const int uLocalViewer = LOCAL_VIEWER;
const int uNormalize = NORMALIZE;
const int kLightType[8] = int[8](LIGHT_TYPES);
#define LIGHT_TYPE(i) kLightType[i]
#else
uniform int uPreTransformed;
uniform int uHasNormal;
uniform int uLighting;
uniform int uLightCount;
uniform ivec4 uMatSource;           // diffuse, ambient, specular, emissive: 0 material, 1 colour 1, 2 colour 2
uniform int uSpecularEnable;
uniform int uLocalViewer;
uniform int uNormalize;
#define LIGHT_TYPE(i) int(uLightPosition[i].w + 0.5)
#endif

uniform vec4 uLightDiffuse[8];
uniform vec4 uLightSpecular[8];
uniform vec4 uLightAmbient[8];
uniform vec4 uLightPosition[8];     // camera space; w: 1 point, 2 spot, 3 directional
uniform vec4 uLightDirection[8];    // directional: unit vector to the light; spot: unit spot axis; w: range
uniform vec4 uLightAttenuation[8];  // a0, a1, a2, falloff
uniform vec4 uLightCone[8];         // cos(theta / 2), cos(phi / 2)
uniform vec4 uGlobalAmbient;
uniform vec4 uMatDiffuse;
uniform vec4 uMatAmbient;
uniform vec4 uMatSpecular;
uniform vec4 uMatEmissive;
uniform float uMatPower;

COLOR_OUT vec4 vDiffuse;
COLOR_OUT vec4 vSpecular;
out vec2 vTexCoord;

vec4 Source(int source, vec4 material, vec4 diffuse, vec4 specular) {
    if (source == 1) return diffuse;
    if (source == 2) return specular;
    return material;
}

void main() {
    // A D3DCOLOR is stored as the bytes B, G, R, A.
    vec4 diffuseIn = aDiffuse.bgra;
    vec4 specularIn = aSpecular.bgra;
    vTexCoord = aTexCoord;

    // Direct3D puts pixel centres on whole numbers, OpenGL on halves: every
    // position moves half a pixel right and down, less a nudge of 1/64 pixel
    // up and left that settles a pixel centre lying exactly on an edge as
    // Direct3D does (top and left edges in, bottom and right out), whatever
    // rule the driver has.
    const float centreShift = 0.5 - 1.0 / 64.0;

    if (uPreTransformed != 0) {
        // Screen pixels, y down; z is the depth as it stands, rhw only
        // weights the interpolation.
        float w = aPosition.w > 0.0 ? 1.0 / aPosition.w : 1.0;
        vec3 ndc = vec3((aPosition.x + centreShift) * uScreen.x - 1.0, 1.0 - (aPosition.y + centreShift) * uScreen.y,
                        aPosition.z);
#ifdef DEPTH_MINUS_ONE_TO_ONE
        ndc.z = 2.0 * ndc.z - 1.0;
#endif
        gl_Position = vec4(ndc * w, w);
        vDiffuse = diffuseIn;
        vSpecular = specularIn;
        return;
    }

    mat4 world = mat4(aWorld0, aWorld1, aWorld2, aWorld3);
    vec4 worldPos = world * vec4(aPosition.xyz, 1.0);
    vec4 clip = uViewProj * worldPos;
    // The same shift in clip space: w times the shift in normalised device
    // coordinates, whose y points up.
    clip.xy += clip.w * centreShift * vec2(uScreen.x, -uScreen.y);
#ifdef DEPTH_MINUS_ONE_TO_ONE
    clip.z = 2.0 * clip.z - clip.w;
#endif
    gl_Position = clip;

    if (uLighting == 0) {
        vDiffuse = diffuseIn;
        vSpecular = specularIn;
        return;
    }

    // Camera space; a world matrix need not be affine, so divide by w.
    vec4 camera = uView * worldPos;
    vec3 P = camera.w != 0.0 ? camera.xyz / camera.w : camera.xyz;

    // Normals go through the inverse transpose of world * view (upper 3 x 3),
    // written as cofactors over the determinant.
    mat3 m = mat3(uView) * mat3(world);
    vec3 c0 = cross(m[1], m[2]);
    vec3 c1 = cross(m[2], m[0]);
    vec3 c2 = cross(m[0], m[1]);
    float det = dot(m[0], c0);
    vec3 N = vec3(0.0);
    if (uHasNormal != 0 && det != 0.0) N = (mat3(c0, c1, c2) * aNormal) / det;
    if (uNormalize != 0 && dot(N, N) > 0.0) N = normalize(N);

    vec4 Cd = Source(uMatSource.x, uMatDiffuse, diffuseIn, specularIn);
    vec4 Ca = Source(uMatSource.y, uMatAmbient, diffuseIn, specularIn);
    vec4 Cs = Source(uMatSource.z, uMatSpecular, diffuseIn, specularIn);
    vec4 Ce = Source(uMatSource.w, uMatEmissive, diffuseIn, specularIn);

    vec3 toEye = uLocalViewer != 0 && dot(P, P) > 0.0 ? -normalize(P) : vec3(0.0, 0.0, -1.0);
    vec3 ambient = uGlobalAmbient.rgb;
    vec3 diffuse = vec3(0.0);
    vec3 specular = vec3(0.0);
    for (int i = 0; i < uLightCount; ++i) {
        vec3 L;
        float factor = 1.0;
        if (LIGHT_TYPE(i) == 3) {  // directional
            L = uLightDirection[i].xyz;
        } else {
            vec3 toLight = uLightPosition[i].xyz - P;
            float d = length(toLight);
            if (d > uLightDirection[i].w) continue;
            L = d > 0.0 ? toLight / d : vec3(0.0);
            vec4 a = uLightAttenuation[i];
            float denominator = a.x + a.y * d + a.z * d * d;
            factor = denominator > 0.0 ? 1.0 / denominator : 1.0;
            if (LIGHT_TYPE(i) == 2) {  // spot
                float rho = dot(uLightDirection[i].xyz, -L);
                vec4 cone = uLightCone[i];
                if (rho <= cone.y) continue;
                if (rho <= cone.x) factor *= pow((rho - cone.y) / (cone.x - cone.y), a.w);
            }
        }
        ambient += uLightAmbient[i].rgb * factor;
        float nl = max(dot(N, L), 0.0);
        diffuse += uLightDiffuse[i].rgb * (nl * factor);
        if (uSpecularEnable != 0 && nl > 0.0) {
            float nh = max(dot(N, normalize(L + toEye)), 0.0);
            float power = uMatPower > 0.0 ? pow(max(nh, 1e-30), uMatPower) : 1.0;
            specular += uLightSpecular[i].rgb * (power * factor);
        }
    }
    vDiffuse = vec4(clamp(Ce.rgb + Ca.rgb * ambient + Cd.rgb * diffuse, 0.0, 1.0), clamp(Cd.a, 0.0, 1.0));
    vSpecular = vec4(clamp(Cs.rgb * specular, 0.0, 1.0), 0.0);
}
)GLSL";

const char* const kFragmentSource = R"GLSL(
#ifdef FLAT_SHADING
#define COLOR_IN flat in
#else
#define COLOR_IN in
#endif

COLOR_IN vec4 vDiffuse;
COLOR_IN vec4 vSpecular;
in vec2 vTexCoord;
out vec4 fragColor;

uniform sampler2D uTexture;
uniform int uAlphaRef;
// The texture stage either comes fixed into the source (then the compiler
// folds every test on it away, which the software rasterizer pays for on
// each pixel otherwise) or is read from uniforms.
#ifdef FIXED_STAGE
const int uHasTexture = HAS_TEXTURE;
const ivec3 uColorOp = ivec3(COLOR_OP);
const ivec3 uAlphaOp = ivec3(ALPHA_OP);
const int uAddSpecular = ADD_SPECULAR;
const int uAlphaFunc = ALPHA_FUNC;
#else
uniform int uHasTexture;
uniform ivec3 uColorOp;  // operation, argument 1, argument 2 (Direct3D values)
uniform ivec3 uAlphaOp;
uniform int uAddSpecular;
uniform int uAlphaFunc;
#endif

vec4 Argument(int a, vec4 texel) {
    int which = a & 15;
    vec4 v = which == 2 ? texel : (which == 4 ? vSpecular : vDiffuse);
    if ((a & 16) != 0) v = vec4(1.0) - v;
    if ((a & 32) != 0) v = vec4(v.a);
    return v;
}

vec4 Combine(ivec3 op, vec4 texel) {
    vec4 a1 = Argument(op.y, texel);
    vec4 a2 = Argument(op.z, texel);
    if (op.x == 2) return a1;
    if (op.x == 3) return a2;
    if (op.x == 5) return 2.0 * a1 * a2;
    if (op.x == 6) return 4.0 * a1 * a2;
    if (op.x == 7) return a1 + a2;
    return a1 * a2;
}

void main() {
    // Stage 0 without a texture reads as opaque white.
    vec4 texel = uHasTexture != 0 ? texture(uTexture, vTexCoord) : vec4(1.0);
    vec3 color = uColorOp.x == 1 ? vDiffuse.rgb : Combine(uColorOp, texel).rgb;
    float alpha = (uColorOp.x == 1 || uAlphaOp.x == 1) ? vDiffuse.a : Combine(uAlphaOp, texel).a;
    color = clamp(color, 0.0, 1.0);
    alpha = clamp(alpha, 0.0, 1.0);
    if (uAddSpecular != 0) color = min(color + vSpecular.rgb, vec3(1.0));
#ifdef ALPHA_TEST
    int a = int(alpha * 255.0 + 0.5);
    bool pass;
    if (uAlphaFunc == 1) pass = false;
    else if (uAlphaFunc == 2) pass = a < uAlphaRef;
    else if (uAlphaFunc == 3) pass = a == uAlphaRef;
    else if (uAlphaFunc == 4) pass = a <= uAlphaRef;
    else if (uAlphaFunc == 5) pass = a > uAlphaRef;
    else if (uAlphaFunc == 6) pass = a != uAlphaRef;
    else if (uAlphaFunc == 7) pass = a >= uAlphaRef;
    else pass = true;
    if (!pass) discard;
#endif
    fragColor = vec4(color, alpha);
}
)GLSL";

GLuint Compile(GLenum kind, const std::string& source, std::string* log) {
    GLuint shader = glCreateShader(kind);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        GLint length = 0;
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
        std::string text(size_t(length > 0 ? length : 1), '\0');
        glGetShaderInfoLog(shader, GLsizei(text.size()), nullptr, text.data());
        if (log) *log = (kind == GL_VERTEX_SHADER ? "vertex shader: " : "fragment shader: ") + text;
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

}  // namespace

std::uint64_t GlFixedStage::Key() const {
    auto arg = [](DWORD a) { return std::uint64_t(a & 0x3Fu); };
    return 1u | std::uint64_t(hasTexture) << 1 | std::uint64_t(addSpecular) << 2 |
           std::uint64_t(colorOp & 0x1Fu) << 3 | arg(colorArg1) << 8 | arg(colorArg2) << 14 |
           std::uint64_t(alphaOp & 0x1Fu) << 20 | arg(alphaArg1) << 25 | arg(alphaArg2) << 31 |
           std::uint64_t(alphaFunc & 0xFu) << 37;
}

std::uint64_t GlFixedVertex::Key() const {
    std::uint64_t k = 1u | std::uint64_t(preTransformed) << 1 | std::uint64_t(hasNormal) << 2 |
                      std::uint64_t(lighting) << 3 | std::uint64_t(specularEnable) << 4 |
                      std::uint64_t(localViewer) << 5 | std::uint64_t(normalize) << 6 |
                      std::uint64_t(lightCount & 0xF) << 7;
    for (int i = 0; i < 8; ++i) k |= std::uint64_t(lightTypes[i] & 3) << (11 + 2 * i);
    for (int i = 0; i < 4; ++i) k |= std::uint64_t(matSource[i] & 3) << (27 + 2 * i);
    return k;
}

bool BuildGlProgram(bool core, bool clipControl, unsigned variant, GlProgram* program, std::string* log,
                    const GlFixedStage* stage, const GlFixedVertex* vertex) {
    std::string header = core ? "#version 330 core\n" : "#version 130\n";
    if (!clipControl) header += "#define DEPTH_MINUS_ONE_TO_ONE\n";
    if (variant & kVariantAlphaTest) header += "#define ALPHA_TEST\n";
    if (variant & kVariantFlat) header += "#define FLAT_SHADING\n";
    if (stage) {
        auto define = [&](const char* name, std::uint64_t value) {
            header += "#define " + std::string(name) + " " + std::to_string(value) + "\n";
        };
        header += "#define FIXED_STAGE\n";
        define("HAS_TEXTURE", stage->hasTexture);
        define("ADD_SPECULAR", stage->addSpecular);
        define("ALPHA_FUNC", stage->alphaFunc & 0xFu);
        header += "#define COLOR_OP " + std::to_string(stage->colorOp & 0x1Fu) + ", " +
                  std::to_string(stage->colorArg1 & 0x3Fu) + ", " + std::to_string(stage->colorArg2 & 0x3Fu) + "\n";
        header += "#define ALPHA_OP " + std::to_string(stage->alphaOp & 0x1Fu) + ", " +
                  std::to_string(stage->alphaArg1 & 0x3Fu) + ", " + std::to_string(stage->alphaArg2 & 0x3Fu) + "\n";
    }
    if (vertex) {
        auto define = [&](const char* name, int value) {
            header += "#define " + std::string(name) + " " + std::to_string(value) + "\n";
        };
        header += "#define FIXED_VERTEX\n";
        define("PRE_TRANSFORMED", vertex->preTransformed);
        define("HAS_NORMAL", vertex->hasNormal);
        define("LIGHTING", vertex->lighting);
        define("LIGHT_COUNT", vertex->lightCount);
        define("SPECULAR_ENABLE", vertex->specularEnable);
        define("LOCAL_VIEWER", vertex->localViewer);
        define("NORMALIZE", vertex->normalize);
        std::string types, sources;
        for (int i = 0; i < 8; ++i) types += (i ? ", " : "") + std::to_string(vertex->lightTypes[i]);
        for (int i = 0; i < 4; ++i) sources += (i ? ", " : "") + std::to_string(vertex->matSource[i]);
        header += "#define LIGHT_TYPES " + types + "\n#define MAT_SOURCE " + sources + "\n";
    }

    GLuint vs = Compile(GL_VERTEX_SHADER, header + kVertexSource, log);
    if (!vs) return false;
    GLuint fs = Compile(GL_FRAGMENT_SHADER, header + kFragmentSource, log);
    if (!fs) {
        glDeleteShader(vs);
        return false;
    }
    GLuint id = glCreateProgram();
    glAttachShader(id, vs);
    glAttachShader(id, fs);
    static const char* const kAttributes[] = {"aPosition", "aNormal", "aDiffuse", "aSpecular", "aTexCoord",
                                              "aWorld0",   "aWorld1", "aWorld2",  "aWorld3"};
    for (GLuint i = 0; i < kAttrCount; ++i) glBindAttribLocation(id, i, kAttributes[i]);
    glBindFragDataLocation(id, 0, "fragColor");
    glLinkProgram(id);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = 0;
    glGetProgramiv(id, GL_LINK_STATUS, &ok);
    if (!ok) {
        GLint length = 0;
        glGetProgramiv(id, GL_INFO_LOG_LENGTH, &length);
        std::string text(size_t(length > 0 ? length : 1), '\0');
        glGetProgramInfoLog(id, GLsizei(text.size()), nullptr, text.data());
        if (log) *log = "link: " + text;
        glDeleteProgram(id);
        return false;
    }

    GlProgram p;
    p.id = id;
    auto at = [id](const char* name) { return glGetUniformLocation(id, name); };
    p.uView = at("uView");
    p.uViewProj = at("uViewProj");
    p.uScreen = at("uScreen");
    p.uPreTransformed = at("uPreTransformed");
    p.uHasNormal = at("uHasNormal");
    p.uLighting = at("uLighting");
    p.uLightCount = at("uLightCount");
    p.uGlobalAmbient = at("uGlobalAmbient");
    p.uMatSource = at("uMatSource");
    p.uSpecularEnable = at("uSpecularEnable");
    p.uLocalViewer = at("uLocalViewer");
    p.uNormalize = at("uNormalize");
    p.uLightDiffuse = at("uLightDiffuse");
    p.uLightSpecular = at("uLightSpecular");
    p.uLightAmbient = at("uLightAmbient");
    p.uLightPosition = at("uLightPosition");
    p.uLightDirection = at("uLightDirection");
    p.uLightAttenuation = at("uLightAttenuation");
    p.uLightCone = at("uLightCone");
    p.uMatDiffuse = at("uMatDiffuse");
    p.uMatAmbient = at("uMatAmbient");
    p.uMatSpecular = at("uMatSpecular");
    p.uMatEmissive = at("uMatEmissive");
    p.uMatPower = at("uMatPower");
    p.uHasTexture = at("uHasTexture");
    p.uColorOp = at("uColorOp");
    p.uAlphaOp = at("uAlphaOp");
    p.uAddSpecular = at("uAddSpecular");
    p.uAlphaFunc = at("uAlphaFunc");
    p.uAlphaRef = at("uAlphaRef");
    glUseProgram(id);
    glUniform1i(at("uTexture"), 0);
    *program = p;
    return true;
}

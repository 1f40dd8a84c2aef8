// The effect classes a pane uses. They are registered on first use, once per shell, since
// this file receives the GI modules instead of importing them.

let NoCullEffect = null;
let ViewEffect = null;

// An effect that does nothing. Mutter's culling skips actors that carry an effect, so on the
// wallpaper group (and on the windows above a pulled-up pane) it keeps everything beneath
// painted: a blur then reads the real picture next to a window instead of a hole.
export function noCullEffect(gi) {
    if (!NoCullEffect) {
        NoCullEffect = gi.GObject.registerClass({GTypeName: 'QuillmereNoCullEffect'},
            class extends gi.Clutter.Effect {});
    }
    return new NoCullEffect();
}

const VIEW_DECLARATIONS = `
uniform vec2 source_size;
uniform vec4 texture_box;
uniform vec2 grid_origin;
uniform float square_side;
uniform float pixellate;
uniform float saturation;
uniform vec4 tint;
uniform float weight;
`;

// The texture is the blurred picture beneath (premultiplied). For pixellate each square takes
// the blurred value at its centre, which approximates the square's average. Then saturation,
// then the tint at its alpha, all at the weight.
const VIEW_CODE = `
vec2 p = texture_box.xy + cogl_tex_coord0_in.st * texture_box.zw;
if (pixellate > 0.5) {
  // The centre of the square's part within the source: a square cut by the edge shows the
  // average of what is there.
  vec2 low = grid_origin + floor((p - grid_origin) / square_side) * square_side;
  vec2 high = min(low + vec2(square_side), source_size);
  p = clamp((max(low, vec2(0.0)) + high) * 0.5, vec2(0.5), source_size - vec2(0.5));
}
vec4 c = texture2D(cogl_sampler0, (p - texture_box.xy) / texture_box.zw);
// Past the stage's edges the blur mixes in nothing: dividing by the coverage keeps the
// edge squares the average of what is there, and opaque.
if (c.a > 0.0)
  c = vec4(c.rgb / c.a, 1.0);
float luma = dot(c.rgb, vec3(0.2126, 0.7152, 0.0722));
c.rgb = clamp(mix(vec3(luma), c.rgb, saturation), 0.0, c.a);
c.rgb = mix(c.rgb, tint.rgb * c.a, tint.a);
cogl_color_out = c * weight * cogl_color_in.a;
`;

export function viewEffect(gi) {
    if (!ViewEffect) {
        ViewEffect = gi.GObject.registerClass({GTypeName: 'QuillmereViewEffect'},
            class extends gi.Shell.GLSLEffect {
                vfunc_build_pipeline() {
                    // Shell.SnippetHook became Cogl.SnippetHook in GNOME Shell 48.
                    const hooks = gi.Shell.SnippetHook ?? gi.Cogl.SnippetHook;
                    this.add_glsl_snippet(hooks.FRAGMENT, VIEW_DECLARATIONS, VIEW_CODE, false);
                }

                // `look` needs sourceSize [w, h], textureBox [x, y, w, h] (what the texture
                // covers, source-relative), gridOrigin [x, y] (source-relative),
                // squareSide, pixellate (bool), saturation, tint [r, g, b, a], weight.
                // Only changed values reach the pipeline: changing it flushes what the last
                // frame left queued, which under software GL waits for that frame.
                setLook(look) {
                    this._uniforms ??= new Map();
                    let changed = false;
                    const set = (name, values) => {
                        const text = values.join(' ');
                        if (this._uniforms.get(name) === text)
                            return;
                        this._uniforms.set(name, text);
                        changed = true;
                        this.set_uniform_float(this.get_uniform_location(name),
                            values.length, values);
                    };
                    set('source_size', look.sourceSize);
                    set('texture_box', look.textureBox);
                    set('grid_origin', look.gridOrigin);
                    set('square_side', [look.squareSide]);
                    set('pixellate', [look.pixellate ? 1 : 0]);
                    set('saturation', [look.saturation]);
                    set('tint', look.tint);
                    set('weight', [look.weight]);
                    if (changed)
                        this.queue_repaint();
                }
            });
    }
    return new ViewEffect();
}

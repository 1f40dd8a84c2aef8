// One overlay pane: an input-transparent actor in the window group with the effect view
// (blur or pixellate of what lies beneath, coloured) and the fill colour over it.

export class Pane {
    constructor(gi, viewEffectFactory) {
        this._gi = gi;
        this._makeViewEffect = viewEffectFactory;
        this.look = {
            x: 0, y: 0, width: 0, height: 0, shown: false, layer: 0, alpha: 1, kind: 'none',
            fill: [0, 0, 0, 0], sigma: 0, tint: [0, 0, 0, 0], saturation: 1, weight: 1,
            squareSide: 16, squareOriginX: 0, squareOriginY: 0,
        };
        this.locked = false;
        this.actor = new gi.St.Widget({reactive: false, clip_to_allocation: true});
        this._fill = new gi.Clutter.Actor({reactive: false});
        this.actor.add_child(this._fill);
        this._view = null;  // the effect view, rebuilt when the kind changes
        this._inner = null;  // the view's clones, drawn at the view's reduced scale
        this._blur = null;
        this._pixels = null;
        this._sources = [];  // what the pixellate view's clones show, bottom to top
        this._frame = null;  // the view's box and scale the clones were placed for
        this._kind = 'none';
    }

    destroy() {
        this.actor.destroy();
        this._view = this._inner = this._blur = this._pixels = null;
        this._sources = [];
    }

    // Whether the pane reads what lies beneath (and so needs the culling turned off).
    get samples() {
        return this.actor.visible && this.look.kind !== 'none';
    }

    apply(changes) {
        Object.assign(this.look, changes);
        const l = this.look;
        if (l.kind !== this._kind)
            this._rebuildView();
        this.actor.set_position(l.x, l.y);
        this.actor.set_size(l.width, l.height);
        this._fill.set_size(l.width, l.height);
        const [r, g, b, a] = l.fill.map(v => Math.round(v * 255));
        // GNOME Shell 48 dropped Clutter.Color for Cogl.Color, with the same fields.
        const Color = this._gi.Clutter.Color ?? this._gi.Cogl.Color;
        this._fill.background_color = new Color({red: r, green: g, blue: b, alpha: a});
        this._updateView();
        this.setAlpha(l.alpha);
    }

    setAlpha(alpha) {
        this.look.alpha = alpha;
        this.actor.opacity = Math.round(alpha * 255);
        this._updateVisible();
    }

    setLocked(locked) {
        this.locked = locked;
        this._updateVisible();
    }

    _updateVisible() {
        this.actor.visible = this.look.shown && this.look.alpha > 0 && !this.locked;
    }

    _rebuildView() {
        const {Clutter, Shell} = this._gi;
        if (this._view)
            this._view.destroy();
        this._view = this._inner = this._blur = this._pixels = null;
        this._sources = [];
        this._frame = null;
        this._kind = this.look.kind;
        if (this._kind === 'none')
            return;
        // The view paints clones of what lies beneath, blurred in its own offscreen; the
        // shader then colours that blur (and for pixellate picks each square's value from
        // it). The shader comes first so that it wraps the blur's output. Unlike a blur of
        // the background, this fades with the pane's opacity.
        this._view = new Clutter.Actor({reactive: false, clip_to_allocation: true});
        this._pixels = this._makeViewEffect();
        this._view.add_effect(this._pixels);
        this._blur = new Shell.BlurEffect({mode: Shell.BlurMode.ACTOR, brightness: 1});
        this._view.add_effect(this._blur);
        this._inner = new Clutter.Actor({reactive: false});
        this._view.add_child(this._inner);
        this.actor.insert_child_below(this._view, this._fill);
    }

    // The effect view's box in global pixels: the pane and a margin around it, so that
    // its edge squares and the blur at its edges see what lies around them, but not past the
    // stage, where nothing lies.
    _viewBox() {
        const l = this.look;
        const square = this._kind === 'pixellate' ? l.squareSide / 2 : 0;
        const m = Math.min(512, Math.ceil(square + 3 * l.sigma));
        const x0 = Math.max(l.x - m, Math.min(l.x, 0));
        const y0 = Math.max(l.y - m, Math.min(l.y, 0));
        const x1 = Math.min(l.x + l.width + m, Math.max(l.x + l.width, global.stage.width));
        const y1 = Math.min(l.y + l.height + m, Math.max(l.y + l.height, global.stage.height));
        return {x: x0, y: y0, width: x1 - x0, height: y1 - y0};
    }

    // The power of two by which the view is drawn smaller: as far as a blur of 2.5 px still
    // smooths out the steps of the smaller picture (the shell's own blur stops at 6 px, which
    // costs twice as much here), and the picture keeps 128 px a side.
    _viewScale(box) {
        const l = this.look;
        let scale = 1;
        while (l.sigma / (2 * scale) >= 2.5 && Math.min(box.width, box.height) / (2 * scale) >= 128)
            scale *= 2;
        return scale;
    }

    _updateView() {
        if (this._kind === 'none')
            return;
        const l = this.look;
        const box = this._viewBox();
        // Both effects draw at the view's own size: the view is that much smaller and
        // shown scaled up, so neither pass works on more pixels than the blur keeps.
        const scale = this._viewScale(box);
        const width = Math.ceil(box.width / scale), height = Math.ceil(box.height / scale);
        this._view.set_position(box.x - l.x, box.y - l.y);
        this._view.set_size(width, height);
        this._view.set_scale(scale, scale);
        this._inner.set_scale(1 / scale, 1 / scale);
        // GNOME Shell 45 and later take the blur's radius: twice its sigma (Mutter's blur
        // node halves it again), so the picture is the same on both.
        const sigma = l.sigma / scale;
        if (this._blur.set_radius)
            this._blur.set_radius(Math.round(2 * sigma));
        else
            this._blur.set_sigma(Math.round(sigma));
        this._pixels.setLook({
            sourceSize: [width * scale, height * scale],
            // Clutter pads an effect's texture: 2 px before the view and 1 px after it.
            textureBox: [-2 * scale, -2 * scale, (width + 3) * scale, (height + 3) * scale],
            gridOrigin: [l.squareOriginX - box.x, l.squareOriginY - box.y],
            squareSide: l.squareSide,
            pixellate: this._kind === 'pixellate',
            saturation: l.saturation,
            tint: l.tint,
            weight: l.weight,
        });
        // Where the frame moved, the clones are made again.
        const frame = [box.x, box.y, box.width, box.height, scale].join(' ');
        if (frame !== this._frame)
            this._sources = [];
        this._frame = frame;
    }

    // `sources` are the actors beneath the pane, bottom to top (the wallpaper group first).
    // The clones follow their sources' positions.
    showBeneath(sources) {
        if (this._kind === 'none')
            return;
        if (sources.length === this._sources.length && sources.every((s, i) => s === this._sources[i]))
            return;
        const {Clutter} = this._gi;
        this._inner.destroy_all_children();
        this._sources = sources;
        const box = this._viewBox();
        for (const source of sources) {
            const clone = new Clutter.Clone({source, reactive: false});
            clone.add_constraint(new Clutter.BindConstraint({
                source, coordinate: Clutter.BindCoordinate.X, offset: -box.x,
            }));
            clone.add_constraint(new Clutter.BindConstraint({
                source, coordinate: Clutter.BindCoordinate.Y, offset: -box.y,
            }));
            this._inner.add_child(clone);
        }
    }
}

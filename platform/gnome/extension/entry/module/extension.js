// The entry point GNOME Shell 45 and later load: it hands the logic the GI and shell modules.

import GLib from 'gi://GLib';
import Gio from 'gi://Gio';
import GObject from 'gi://GObject';
import Clutter from 'gi://Clutter';
import Cogl from 'gi://Cogl';
import St from 'gi://St';
import Shell from 'gi://Shell';
import Meta from 'gi://Meta';
import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import * as PanelMenu from 'resource:///org/gnome/shell/ui/panelMenu.js';
import * as PopupMenu from 'resource:///org/gnome/shell/ui/popupMenu.js';
import * as Slider from 'resource:///org/gnome/shell/ui/slider.js';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

import {Lifecycle} from './lifecycle.js';

export default class QuillmereExtension extends Extension {
    enable() {
        this._lifecycle ??= new Lifecycle();
        this._lifecycle.enable({GLib, Gio, GObject, Clutter, Cogl, St, Shell, Meta, Main,
            PanelMenu, PopupMenu, Slider}, this.path, this.getSettings());
    }

    disable() {
        this._lifecycle?.disable();
    }
}

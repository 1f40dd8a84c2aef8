/* The tests' extension on GNOME Shell 45 and later, which load extensions as ES modules. */
import Clutter from 'gi://Clutter';
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Meta from 'gi://Meta';
import St from 'gi://St';
import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import * as PopupMenu from 'resource:///org/gnome/shell/ui/popupMenu.js';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

import * as hands from './hands.js';

export default class QuillmereTest extends Extension {
    enable() {
        hands.enable({Clutter, Gio, GLib, Meta, St, Main, PopupMenu});
    }

    disable() {
        hands.disable();
    }
}

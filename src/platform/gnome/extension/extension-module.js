// The entry point GNOME Shell 45 and later load (ES modules); the service is shared with the
// legacy entry point.
import Clutter from 'gi://Clutter';
import Cogl from 'gi://Cogl';
import GLib from 'gi://GLib';
import Gio from 'gi://Gio';
import Meta from 'gi://Meta';
import Mtk from 'gi://Mtk';
import Shell from 'gi://Shell';
import St from 'gi://St';
import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import * as PanelMenu from 'resource:///org/gnome/shell/ui/panelMenu.js';
import * as PopupMenu from 'resource:///org/gnome/shell/ui/popupMenu.js';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';
import {createService} from './service.js';

export default class HalvoExtension extends Extension {
    enable() {
        const [, contents] = this.dir.get_child('shell-service.xml').load_contents(null);
        const lib = {
            Clutter, Cogl, GLib, Gio, Meta, Shell, St, Main, PanelMenu, PopupMenu,
            Rectangle: Mtk.Rectangle, path: this.path,
        };
        this._service = createService(lib, new TextDecoder().decode(contents));
        this._service.enable();
    }

    disable() {
        this._service?.disable();
        this._service = null;
    }
}

// The entry point GNOME Shell 43 and 44 load (the legacy module system); the service is shared
// with the ES-module entry point.
/* exported init */
const ExtensionUtils = imports.misc.extensionUtils;
const Me = ExtensionUtils.getCurrentExtension();
const {Clutter, Cogl, GLib, Gio, Meta, Shell, St} = imports.gi;
const Main = imports.ui.main;
const PanelMenu = imports.ui.panelMenu;
const PopupMenu = imports.ui.popupMenu;

class HalvoExtension {
    enable() {
        const [, contents] = Me.dir.get_child('shell-service.xml').load_contents(null);
        const lib = {
            Clutter, Cogl, GLib, Gio, Meta, Shell, St, Main, PanelMenu, PopupMenu,
            Rectangle: Meta.Rectangle, path: Me.path,
        };
        this._service = Me.imports.service.createService(lib, new TextDecoder().decode(contents));
        this._service.enable();
    }

    disable() {
        this._service?.disable();
        this._service = null;
    }
}

function init() {
    return new HalvoExtension();
}

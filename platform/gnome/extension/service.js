// The org.quillmere.Shell1 object on the shell's own bus connection. Only the current owner
// of org.quillmere.Quillmere may call it; every handler's failure becomes a D-Bus error.

import {ArgumentError} from './validate.js';

const OWNER_NAME = 'org.quillmere.Quillmere';
const OWNER_PATH = '/org/quillmere/Quillmere';
const OWNER_INTERFACE = 'org.quillmere.Quillmere1';
const SHELL_PATH = '/org/quillmere/Shell';
const SHELL_INTERFACE = 'org.quillmere.Shell1';
const ASK_TIMEOUT_MS = 1000;
const METHODS = ['Hello', 'SetPane', 'SetAlpha', 'RemovePane', 'SetMenu', 'RemoveMenu', 'Status'];

export class Service {
    // `xml` is dbus-interfaces.xml; `handlers` has one function per method taking the unpacked
    // arguments and returning a GLib.Variant or null, plus ownerFound() and ownerGone().
    constructor(gi, xml, handlers) {
        this._gi = gi;
        this._handlers = handlers;
        this._owner = null;
        this._loggedError = false;
        const info = gi.Gio.DBusNodeInfo.new_for_xml(xml);
        const iface = info.lookup_interface(SHELL_INTERFACE);
        const impl = {};
        for (const name of METHODS)
            impl[`${name}Async`] = (params, invocation) => this._call(name, params, invocation);
        this._exported = gi.Gio.DBusExportedObject.wrapJSObject(iface, impl);
        this._exported.export(gi.Gio.DBus.session, SHELL_PATH);
        this._watchId = gi.Gio.bus_watch_name_on_connection(gi.Gio.DBus.session, OWNER_NAME,
            gi.Gio.BusNameWatcherFlags.NONE,
            (connection, name, owner) => {
                this._owner = owner;
                this._safely(() => this._handlers.ownerFound());
            },
            () => {
                this._owner = null;
                this._safely(() => this._handlers.ownerGone());
            });
    }

    destroy() {
        this._gi.Gio.bus_unwatch_name(this._watchId);
        this._exported.unexport();
        this._owner = null;
    }

    get hasOwner() {
        return this._owner !== null;
    }

    // Calls a Quillmere1 method on the owner without waiting for an answer.
    send(method, body) {
        if (!this._owner)
            return;
        this._safely(() => {
            const {Gio} = this._gi;
            const message = this._message(method, body);
            message.set_flags(Gio.DBusMessageFlags.NO_REPLY_EXPECTED);
            Gio.DBus.session.send_message(message, Gio.DBusSendMessageFlags.NONE);
        });
    }

    // Calls a Quillmere1 method on the owner; `answered()` runs once, when the answer (or an
    // error) comes, or at once when nothing could be sent.
    ask(method, body, answered) {
        const sent = this._owner && this._safely(() => {
            const {Gio} = this._gi;
            Gio.DBus.session.send_message_with_reply(this._message(method, body),
                Gio.DBusSendMessageFlags.NONE, ASK_TIMEOUT_MS, null, (connection, result) => {
                    try {
                        connection.send_message_with_reply_finish(result);
                    } catch (e) {
                        // No answer: nothing waits on it but the caller.
                    }
                    answered();
                });
            return true;
        });
        if (!sent)
            answered();
    }

    _message(method, body) {
        const message = this._gi.Gio.DBusMessage.new_method_call(this._owner, OWNER_PATH,
            OWNER_INTERFACE, method);
        if (body)
            message.set_body(body);
        return message;
    }

    // The action's value, or undefined when it threw (logged once).
    _safely(action) {
        try {
            return action();
        } catch (e) {
            this._logOnce(e);
            return undefined;
        }
    }

    _logOnce(e) {
        if (this._loggedError)
            return;
        this._loggedError = true;
        logError(e, 'Quillmere');
    }

    _call(name, params, invocation) {
        const sender = invocation.get_sender();
        if (sender === this._owner) {
            this._dispatch(name, params, invocation);
            return;
        }
        // The name may have just changed hands, before our watch heard of it: ask the bus.
        this._gi.Gio.DBus.session.call('org.freedesktop.DBus', '/org/freedesktop/DBus',
            'org.freedesktop.DBus', 'GetNameOwner', new this._gi.GLib.Variant('(s)', [OWNER_NAME]),
            new this._gi.GLib.VariantType('(s)'), this._gi.Gio.DBusCallFlags.NONE, -1, null,
            (connection, result) => {
                let owner = null;
                try {
                    [owner] = connection.call_finish(result).deepUnpack();
                } catch (e) {
                    // No owner at all.
                }
                if (owner !== null && owner === sender) {
                    this._owner = owner;
                    this._dispatch(name, params, invocation);
                } else {
                    invocation.return_dbus_error(`${SHELL_INTERFACE}.Error.NotOwner`,
                        `only the owner of ${OWNER_NAME} may call`);
                }
            });
    }

    _dispatch(name, params, invocation) {
        try {
            const reply = this._handlers[name](...params);
            invocation.return_value(reply ?? null);
        } catch (e) {
            if (e instanceof ArgumentError) {
                invocation.return_dbus_error(`${SHELL_INTERFACE}.Error.InvalidArgs`, e.message);
            } else {
                this._logOnce(e);
                invocation.return_dbus_error(`${SHELL_INTERFACE}.Error.Failed`, String(e));
            }
        }
    }
}

#include "script/JsonHelperScript.h"

namespace quenlark {

// The three functions are called by the JSON object's statements and are kept exactly as they
// expect them (the script text holds '\r\n', the script's own escape for CR LF).
const char kHelperScript[] =
    "function get__count(c){var obj=Object.prototype.toString.call(c);if(obj=='[object Array]'){return c.length}else{"
    "return 0}}"
    "function get__name_All(a){var obj=Object.prototype.toString.call(a);if(obj=='[object Object]'){var ary=new "
    "Array();for(var key in a){if(typeof a[key]!=='function'){ary.push(key)}}return ary.join('\\r\\n')}else{"
    "return''}}"
    "function get__extend(target,source){if(Object.prototype.toString.call(target)=='[object Array]'){for(var i=0;"
    "i<source.length;i++){target.push(source[i])}return target}else{var str_obj;for(var obj in source){str_obj="
    "typeof target[obj];if(str_obj=='string'||str_obj=='boolean'||str_obj=='undefined'){target[obj]=source[obj]}"
    "else if(str_obj=='number'){target=target.concat(source)}else if(str_obj=='object'){target[obj]=get__extend("
    "target[obj],source[obj])}}return target}}";

// Plain script; its pieces run only where the engine lacks them.
const char kJsonScript[] =
    R"js(if (typeof JSON !== 'object' || JSON === null) { JSON = {}; }
(function () {
    var classOf = Object.prototype.toString, owns = Object.prototype.hasOwnProperty;
    var shortEscapes = { '\b': '\\b', '\t': '\\t', '\n': '\\n', '\f': '\\f', '\r': '\\r', '"': '\\"', '\\': '\\\\' };
    var escaped = /[\\"\u0000-\u001f\u007f-\u009f\u00ad\u200b-\u200f\u2028-\u202e\u2060-\u2064\ufeff]/g;
    function quote(s) {
        return '"' + s.replace(escaped, function (c) {
            return owns.call(shortEscapes, c) ? shortEscapes[c] : '\\u' + ('000' + c.charCodeAt(0).toString(16)).slice(-4);
        }) + '"';
    }
    function two(n) { return n < 10 ? '0' + n : String(n); }
    function utc(d) {
        return d.getUTCFullYear() + '-' + two(d.getUTCMonth() + 1) + '-' + two(d.getUTCDate()) + 'T' +
            two(d.getUTCHours()) + ':' + two(d.getUTCMinutes()) + ':' + two(d.getUTCSeconds()) + 'Z';
    }
    if (typeof JSON.stringify !== 'function') {
        JSON.stringify = function (value, replacer, space) {
            var gap = '', indent = '', i;
            if (typeof space === 'number') { for (i = 0; i < space && i < 10; i++) { gap += ' '; } }
            else if (typeof space === 'string') { gap = space.slice(0, 10); }
            if (replacer && typeof replacer !== 'function' && classOf.call(replacer) !== '[object Array]') {
                throw new Error('JSON.stringify: the replacer is neither a function nor an array');
            }
            function join(open, close, parts, outer) {
                if (!parts.length) { return open + close; }
                if (!gap) { return open + parts.join(',') + close; }
                return open + '\n' + indent + parts.join(',\n' + indent) + '\n' + outer + close;
            }
            function member(key, holder, parts) {
                var text = write(key, holder);
                if (text !== undefined) { parts.push(quote(key) + (gap ? ': ' : ':') + text); }
            }
            function write(key, holder) {
                var value = holder[key], outer = indent, parts = [], kind, k, text;
                if (value && typeof value === 'object') {
                    if (classOf.call(value) === '[object Date]') { value = isFinite(value.valueOf()) ? utc(value) : null; }
                    else if (typeof value.toJSON === 'function') { value = value.toJSON(key); }
                }
                if (typeof replacer === 'function') { value = replacer.call(holder, key, value); }
                if (value === null) { return 'null'; }
                switch (typeof value) {
                case 'string': return quote(value);
                case 'number': return isFinite(value) ? String(value) : 'null';
                case 'boolean': return String(value);
                case 'object': break;
                default: return undefined;
                }
                kind = classOf.call(value);
                if (kind === '[object String]') { return quote(String(value)); }
                if (kind === '[object Number]') { return isFinite(value) ? String(value) : 'null'; }
                if (kind === '[object Boolean]') { return String(value); }
                indent += gap;
                if (kind === '[object Array]') {
                    for (k = 0; k < value.length; k++) {
                        text = write(String(k), value);
                        parts.push(text === undefined ? 'null' : text);
                    }
                    text = join('[', ']', parts, outer);
                } else {
                    if (replacer && typeof replacer === 'object') {
                        for (k = 0; k < replacer.length; k++) {
                            if (typeof replacer[k] === 'string') { member(replacer[k], value, parts); }
                        }
                    } else {
                        for (k in value) {
                            if (owns.call(value, k)) { member(k, value, parts); }
                        }
                    }
                    text = join('{', '}', parts, outer);
                }
                indent = outer;
                return text;
            }
            return write('', { '': value });
        };
    }
    if (typeof JSON.parse !== 'function') {
        JSON.parse = function (text, reviver) {
            var s = String(text), at = 0, result;
            var unescapes = { '"': '"', '\\': '\\', '/': '/', b: '\b', f: '\f', n: '\n', r: '\r', t: '\t' };
            function fail() { throw new SyntaxError('JSON.parse: unexpected text at ' + at); }
            function space() { while (at < s.length && ' \t\n\r'.indexOf(s.charAt(at)) >= 0) { at++; } }
            function next(c) { if (s.charAt(at) !== c) { fail(); } at++; }
            function string() {
                var out = '', c, hex;
                next('"');
                for (;;) {
                    c = s.charAt(at++);
                    if (c === '"') { return out; }
                    if (c === '' || c < ' ') { fail(); }
                    if (c !== '\\') { out += c; continue; }
                    c = s.charAt(at++);
                    if (c === 'u') {
                        hex = s.substr(at, 4);
                        if (!/^[0-9a-fA-F]{4}$/.test(hex)) { fail(); }
                        out += String.fromCharCode(parseInt(hex, 16));
                        at += 4;
                    } else if (owns.call(unescapes, c)) {
                        out += unescapes[c];
                    } else {
                        fail();
                    }
                }
            }
            function word(w, v) { if (s.substr(at, w.length) !== w) { fail(); } at += w.length; return v; }
            function value() {
                var c, out, key, m;
                space();
                c = s.charAt(at);
                if (c === '{' || c === '[') {
                    out = c === '{' ? {} : [];
                    at++;
                    space();
                    if (s.charAt(at) === (c === '{' ? '}' : ']')) { at++; return out; }
                    for (;;) {
                        if (c === '{') {
                            space(); key = string(); space(); next(':');
                            out[key] = value();
                        } else {
                            out.push(value());
                        }
                        space();
                        if (s.charAt(at) === (c === '{' ? '}' : ']')) { at++; return out; }
                        next(',');
                    }
                }
                if (c === '"') { return string(); }
                if (c === 't') { return word('true', true); }
                if (c === 'f') { return word('false', false); }
                if (c === 'n') { return word('null', null); }
                m = /^-?(0|[1-9]\d*)(\.\d+)?([eE][+-]?\d+)?/.exec(s.slice(at));
                if (!m) { fail(); }
                at += m[0].length;
                return parseFloat(m[0]);
            }
            function revive(holder, key) {
                var v = holder[key], k, r;
                if (v && typeof v === 'object') {
                    for (k in v) {
                        if (owns.call(v, k)) {
                            r = revive(v, k);
                            if (r === undefined) { delete v[k]; } else { v[k] = r; }
                        }
                    }
                }
                return reviver.call(holder, key, v);
            }
            result = value();
            space();
            if (at < s.length) { fail(); }
            return typeof reviver === 'function' ? revive({ '': result }, '') : result;
        };
    }
    if (typeof Object.prototype.toJSONString !== 'function') {
        Object.prototype.toJSONString = function (replacer) { return JSON.stringify(this, replacer); };
    }
    if (typeof Object.prototype.parseJSON !== 'function') {
        Object.prototype.parseJSON = function (reviver) { return JSON.parse(this, reviver); };
    }
}());
)js";

}  // namespace quenlark

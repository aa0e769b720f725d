#include "ExprEvaluator.h"

#include <algorithm>

#include "Collation.h"
#include "Messages.h"

namespace standin {

namespace {

TypedValue integer(int64_t v) {
    return TypedValue{Value::integer(v), Column{"", ColType::Int, 0, false}};
}

TypedValue text(std::string s, bool nullable = false) {
    const auto n = static_cast<uint16_t>(std::clamp<size_t>(Collation::length(s), 1, 4000));
    return TypedValue{Value::str(std::move(s)), Column{"", ColType::NVarChar, n, nullable}};
}

bool isNull(const TypedValue& v) {
    return v.value.kind == Value::Kind::Null;
}

bool isTextual(const TypedValue& v) {
    return v.value.kind == Value::Kind::Text || v.column.type == ColType::NVarChar ||
           v.column.type == ColType::NChar;
}

}  // namespace

std::optional<TypedValue> ExprEvaluator::evaluate(const Expr& e, const EvalContext& ctx,
                                                  Message& error) {
    try {
        const ExprEvaluator ev(ctx, nullptr);
        ev.check(e);
        return ev.scalar(e, nullptr);
    } catch (const EvalFailure& f) {
        error = f.message;
        return std::nullopt;
    }
}

std::optional<bool> ExprEvaluator::holds(const Expr& e, const EvalContext& ctx, Message& error) {
    try {
        const ExprEvaluator ev(ctx, nullptr);
        ev.check(e);
        return ev.truth(e, nullptr);
    } catch (const EvalFailure& f) {
        error = f.message;
        return std::nullopt;
    }
}

int ExprEvaluator::columnIndex(const std::string& name) const {
    if (!table_) return -1;
    for (size_t i = 0; i < table_->columns.size(); ++i) {
        if (Collation::equal(table_->columns[i].name, name)) return static_cast<int>(i);
    }
    return -1;
}

void ExprEvaluator::check(const Expr& e) const {
    if (e.kind == Expr::Kind::Column && columnIndex(e.name) < 0) {
        throw EvalFailure{Messages::error(207, 16, 1, "Invalid column name '" + e.name + "'.")};
    }
    for (const Expr& a : e.args) check(a);
}

TypedValue ExprEvaluator::scalar(const Expr& e, const std::vector<Value>* row) const {
    TypedValue tv;
    switch (e.kind) {
        case Expr::Kind::Column: {
            const int i = columnIndex(e.name);
            if (i < 0) check(e);  // outside a SELECT ... FROM no column is known
            tv.column = table_->columns[static_cast<size_t>(i)];
            tv.value = row ? (*row)[static_cast<size_t>(i)] : Value::null();
            return tv;
        }
        case Expr::Kind::Integer:
            return integer(e.number);
        case Expr::Kind::Text:
            return text(e.text);
        case Expr::Kind::Null:
            tv.column = Column{"", ColType::IntN, 0, true};
            return tv;
        case Expr::Kind::Variable:
        case Expr::Kind::LocalVariable:
        case Expr::Kind::Function:
            return call(e, row);
        case Expr::Kind::Add:
            return add(e, row);
        case Expr::Kind::Cast:
            return cast(e, row);
        default:
            break;
    }
    return integer(truth(e, row) ? 1 : 0);
}

std::optional<int> ExprEvaluator::compare(const TypedValue& a, const TypedValue& b) const {
    if (isNull(a) || isNull(b)) return std::nullopt;
    const bool aText = a.value.kind == Value::Kind::Text;
    const bool bText = b.value.kind == Value::Kind::Text;
    if (aText && bText) return Collation::compare(a.value.text, b.value.text);
    if (a.value.kind == Value::Kind::DateTime && b.value.kind == Value::Kind::DateTime) {
        if (a.value.i != b.value.i) return a.value.i < b.value.i ? -1 : 1;
        if (a.value.ticks != b.value.ticks) return a.value.ticks < b.value.ticks ? -1 : 1;
        return 0;
    }
    const int64_t x = toInt(a);
    const int64_t y = toInt(b);
    return x < y ? -1 : x > y ? 1 : 0;
}

int64_t ExprEvaluator::toInt(const TypedValue& v) const {
    if (v.value.kind == Value::Kind::Int || v.value.kind == Value::Kind::DateTime) return v.value.i;
    int64_t x = 0;
    if (!SqlTypes::parseInt(v.value.text, x))
        throw EvalFailure{Messages::conversionFailed(ctx_.version, v.value.text)};
    return x;
}

bool ExprEvaluator::truth(const Expr& e, const std::vector<Value>* row) const {
    return logic(e, row) == Tri::True;
}

ExprEvaluator::Tri ExprEvaluator::logic(const Expr& e, const std::vector<Value>* row) const {
    switch (e.kind) {
        case Expr::Kind::And: {
            const Tri a = logic(e.args[0], row);
            if (a == Tri::False) return Tri::False;
            const Tri b = logic(e.args[1], row);
            if (b == Tri::False) return Tri::False;
            return a == Tri::True && b == Tri::True ? Tri::True : Tri::Unknown;
        }
        case Expr::Kind::Or: {
            const Tri a = logic(e.args[0], row);
            if (a == Tri::True) return Tri::True;
            const Tri b = logic(e.args[1], row);
            if (b == Tri::True) return Tri::True;
            return a == Tri::False && b == Tri::False ? Tri::False : Tri::Unknown;
        }
        case Expr::Kind::Not: {
            const Tri a = logic(e.args[0], row);
            return a == Tri::Unknown ? a : a == Tri::True ? Tri::False : Tri::True;
        }
        case Expr::Kind::IsNull:
            return isNull(scalar(e.args[0], row)) != e.negated ? Tri::True : Tri::False;
        case Expr::Kind::Like: {
            const TypedValue a = scalar(e.args[0], row);
            const TypedValue p = scalar(e.args[1], row);
            if (isNull(a) || isNull(p)) return Tri::Unknown;
            const bool match = Collation::like(SqlTypes::text(a.value), SqlTypes::text(p.value));
            return match != e.negated ? Tri::True : Tri::False;
        }
        case Expr::Kind::In:
            return in(e, row);
        case Expr::Kind::Compare:
            return compareOp(e, row);
        default:
            return Tri::False;
    }
}

ExprEvaluator::Tri ExprEvaluator::in(const Expr& e, const std::vector<Value>* row) const {
    const TypedValue a = scalar(e.args[0], row);
    bool unknownSeen = false;
    for (size_t i = 1; i < e.args.size(); ++i) {
        const std::optional<int> c = compare(a, scalar(e.args[i], row));
        if (!c) {
            unknownSeen = true;
        } else if (*c == 0) {
            return e.negated ? Tri::False : Tri::True;
        }
    }
    if (unknownSeen) return Tri::Unknown;
    return e.negated ? Tri::True : Tri::False;
}

ExprEvaluator::Tri ExprEvaluator::compareOp(const Expr& e, const std::vector<Value>* row) const {
    const std::optional<int> c = compare(scalar(e.args[0], row), scalar(e.args[1], row));
    if (!c) return Tri::Unknown;
    bool r = false;
    if (e.op == "=")
        r = *c == 0;
    else if (e.op == "<>")
        r = *c != 0;
    else if (e.op == "<")
        r = *c < 0;
    else if (e.op == ">")
        r = *c > 0;
    else if (e.op == "<=")
        r = *c <= 0;
    else
        r = *c >= 0;
    return r ? Tri::True : Tri::False;
}

// +: numbers add; text joins text; a number and text add, the text converted (int has the
// higher precedence), as on the server. NULL on either side gives NULL.
TypedValue ExprEvaluator::add(const Expr& e, const std::vector<Value>* row) const {
    const TypedValue a = scalar(e.args[0], row);
    const TypedValue b = scalar(e.args[1], row);
    const bool joinText = isTextual(a) && isTextual(b);
    if (isNull(a) || isNull(b)) {
        TypedValue n;
        n.column = joinText ? Column{"", ColType::NVarChar, 4000, true}
                            : Column{"", ColType::IntN, 0, true};
        return n;
    }
    if (joinText) return text(a.value.text + b.value.text, true);
    const int64_t sum = toInt(a) + toInt(b);
    if (sum < INT32_MIN || sum > INT32_MAX) {
        throw EvalFailure{Messages::error(
            8115, 16, 2, "Arithmetic overflow error converting expression to data type int.")};
    }
    return integer(sum);
}

TypedValue ExprEvaluator::cast(const Expr& e, const std::vector<Value>* row) const {
    TypedValue out;
    Message err;
    if (!SqlTypes::convert(scalar(e.args[0], row), SqlTypes::settle(e.type, 30), ctx_.version, out,
                           err))
        throw EvalFailure{err};
    return out;
}

// Functions of their arguments alone are evaluated here; the others ask the context.
TypedValue ExprEvaluator::call(const Expr& e, const std::vector<Value>* row) const {
    std::vector<TypedValue> args;
    for (const Expr& a : e.args) args.push_back(scalar(a, row));
    if (e.kind == Expr::Kind::Function && e.name == "QUOTENAME") return quoteName(args);
    if (e.kind == Expr::Kind::Function && e.name == "ISNULL" && args.size() == 2) {
        TypedValue r = isNull(args[0]) ? args[1] : args[0];
        r.column = args[0].column;
        return r;
    }
    Message err;
    std::optional<TypedValue> v = ctx_.scalar(e, args, err);
    if (!v) throw EvalFailure{err};
    return *v;
}

// QUOTENAME(name [, quote]): the name between [ ] (or ' ' or " "), the closing character
// doubled inside; NULL for a NULL name, a name over 128 characters or another quote.
TypedValue ExprEvaluator::quoteName(const std::vector<TypedValue>& args) {
    TypedValue r;
    r.column = Column{"", ColType::NVarChar, 258, true};
    if (args.empty() || isNull(args[0])) return r;
    const std::string name = SqlTypes::text(args[0].value);
    std::string quote = args.size() > 1 ? SqlTypes::text(args[1].value) : "[";
    if (Collation::length(name) > 128 || quote.empty()) return r;
    char open = quote[0], close = quote[0];
    if (open == '[' || open == ']') {
        open = '[';
        close = ']';
    } else if (open != '\'' && open != '"') {
        return r;
    }
    std::string out(1, open);
    for (char c : name) {
        out += c;
        if (c == close) out += c;
    }
    out += close;
    r.value = Value::str(out);
    return r;
}

}  // namespace standin

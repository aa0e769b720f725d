#include "SelectRunner.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "Collation.h"

namespace standin {

namespace {

Message runtimeError(int32_t number, uint8_t severity, std::string text) {
    Message m;
    m.number = number;
    m.severity = severity;
    m.state = 1;
    m.text = std::move(text);
    return m;
}

struct Failure {
    Message message;
};

class Evaluator {
public:
    Evaluator(const SelectContext& ctx, const ResultSet* table) : ctx_(ctx), table_(table) {}

    int columnIndex(const std::string& name) const {
        if (!table_) return -1;
        for (size_t i = 0; i < table_->columns.size(); ++i) {
            if (Collation::equal(table_->columns[i].name, name)) return static_cast<int>(i);
        }
        return -1;
    }

    // Checks names before any row is read, so a bad column fails even over an empty table.
    void check(const Expr& e) const {
        if (e.kind == Expr::Kind::Column && columnIndex(e.name) < 0) {
            throw Failure{runtimeError(207, 16, "Invalid column name '" + e.name + "'.")};
        }
        for (const Expr& a : e.args) check(a);
    }

    TypedValue scalar(const Expr& e, const std::vector<Value>* row) const {
        TypedValue tv;
        switch (e.kind) {
            case Expr::Kind::Column: {
                const int i = columnIndex(e.name);
                tv.column = table_->columns[static_cast<size_t>(i)];
                tv.value = row ? (*row)[static_cast<size_t>(i)] : Value::null();
                return tv;
            }
            case Expr::Kind::Integer:
                tv.column = Column{"", ColType::Int, 0, false};
                tv.value = Value::integer(e.number);
                return tv;
            case Expr::Kind::Text:
                tv.column = Column{
                    "", ColType::NVarChar,
                    static_cast<uint16_t>(std::clamp<size_t>(Collation::length(e.text), 1, 4000)),
                    false};
                tv.value = Value::str(e.text);
                return tv;
            case Expr::Kind::Null:
                tv.column = Column{"", ColType::IntN, 0, true};
                return tv;
            case Expr::Kind::Variable:
            case Expr::Kind::Function: {
                Message err;
                std::optional<TypedValue> v = ctx_.scalar(e, err);
                if (!v) throw Failure{err};
                return *v;
            }
            default:
                break;
        }
        tv.column = Column{"", ColType::Int, 0, false};
        tv.value = Value::integer(truth(e, row) ? 1 : 0);
        return tv;
    }

    // SQL comparison; nullopt when either side is NULL.
    std::optional<int> compare(const TypedValue& a, const TypedValue& b) const {
        if (a.value.kind == Value::Kind::Null || b.value.kind == Value::Kind::Null)
            return std::nullopt;
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

    int64_t toInt(const TypedValue& v) const {
        if (v.value.kind == Value::Kind::Int || v.value.kind == Value::Kind::DateTime)
            return v.value.i;
        std::string s = v.value.text;
        const size_t b = s.find_first_not_of(' ');
        const size_t e = s.find_last_not_of(' ');
        s = b == std::string::npos ? "" : s.substr(b, e - b + 1);
        errno = 0;
        char* endp = nullptr;
        const long long x = std::strtoll(s.c_str(), &endp, 10);
        if (s.empty() || *endp != '\0' || errno != 0) {
            throw Failure{runtimeError(245, 16,
                                       "Syntax error converting the nvarchar value '" +
                                           v.value.text + "' to a column of data type int.")};
        }
        return x;
    }

    bool truth(const Expr& e, const std::vector<Value>* row) const {
        return logic(e, row) == Tri::True;
    }

    // Three-valued logic: a comparison with NULL is UNKNOWN, and so is NOT UNKNOWN.
    enum class Tri { False, True, Unknown };

    Tri logic(const Expr& e, const std::vector<Value>* row) const {
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
            case Expr::Kind::IsNull: {
                const bool isNull = scalar(e.args[0], row).value.kind == Value::Kind::Null;
                return isNull != e.negated ? Tri::True : Tri::False;
            }
            case Expr::Kind::Like: {
                const TypedValue a = scalar(e.args[0], row);
                const TypedValue p = scalar(e.args[1], row);
                if (a.value.kind == Value::Kind::Null || p.value.kind == Value::Kind::Null)
                    return Tri::Unknown;
                const std::string at =
                    a.value.kind == Value::Kind::Text ? a.value.text : std::to_string(a.value.i);
                const std::string pt =
                    p.value.kind == Value::Kind::Text ? p.value.text : std::to_string(p.value.i);
                return Collation::like(at, pt) != e.negated ? Tri::True : Tri::False;
            }
            case Expr::Kind::In: {
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
            case Expr::Kind::Compare: {
                const std::optional<int> c =
                    compare(scalar(e.args[0], row), scalar(e.args[1], row));
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
            default:
                return Tri::False;
        }
    }

private:
    const SelectContext& ctx_;
    const ResultSet* table_;
};

bool isCount(const SelectItem& item) {
    return !item.star && item.expr.kind == Expr::Kind::Function && item.expr.name == "COUNT";
}

}  // namespace

bool SelectRunner::run(const SelectStatement& select, const SelectContext& context, ResultSet& out,
                       Message& error) {
    try {
        std::optional<ResultSet> table;
        if (select.from) {
            table = context.table(*select.from, error);
            if (!table) return false;
        }
        const ResultSet* t = table ? &*table : nullptr;
        Evaluator ev(context, t);

        for (const SelectItem& item : select.items) {
            if (item.star && !t) {
                throw Failure{runtimeError(263, 16, "Must specify table to select from.")};
            }
            if (!item.star) ev.check(item.expr);
        }
        if (select.where) ev.check(*select.where);

        // Rows of the table that pass WHERE (one empty row without FROM).
        std::vector<const std::vector<Value>*> rows;
        static const std::vector<Value> noRow;
        if (t) {
            for (const auto& r : t->rows) {
                if (!select.where || ev.truth(*select.where, &r)) rows.push_back(&r);
            }
        } else if (!select.where || ev.truth(*select.where, nullptr)) {
            rows.push_back(&noRow);
        }

        const bool aggregate = std::any_of(select.items.begin(), select.items.end(), isCount);
        if (aggregate) {
            for (const SelectItem& item : select.items) {
                if (isCount(item)) continue;
                if (item.star || item.expr.kind == Expr::Kind::Column) {
                    const std::string col =
                        item.star ? (t && !t->columns.empty() ? t->columns[0].name : "*")
                                  : item.expr.name;
                    throw Failure{runtimeError(
                        8118, 16,
                        "Column '" + col +
                            "' is invalid in the select list because it is not contained in an "
                            "aggregate function and there is no GROUP BY clause.")};
                }
            }
        }

        // Output columns, and how each output column is computed.
        struct OutCol {
            int tableIndex = -1;  // copy of a table column
            const Expr* expr = nullptr;
            bool count = false;
        };
        std::vector<OutCol> plan;
        out.columns.clear();
        out.rows.clear();
        for (const SelectItem& item : select.items) {
            if (item.star) {
                for (size_t i = 0; i < t->columns.size(); ++i) {
                    out.columns.push_back(t->columns[i]);
                    plan.push_back(OutCol{static_cast<int>(i), nullptr, false});
                }
                continue;
            }
            Column c;
            if (isCount(item)) {
                c = Column{"", ColType::Int, 0, false};
                plan.push_back(OutCol{-1, nullptr, true});
            } else {
                c = ev.scalar(item.expr, rows.empty() ? nullptr : rows.front()).column;
                if (item.expr.kind == Expr::Kind::Column) {
                    c = t->columns[static_cast<size_t>(ev.columnIndex(item.expr.name))];
                }
                plan.push_back(OutCol{-1, &item.expr, false});
            }
            c.name =
                item.hasAlias ? item.alias : (item.expr.kind == Expr::Kind::Column ? c.name : "");
            out.columns.push_back(c);
        }

        // ORDER BY keys refer to output columns (by name or position) or to table columns.
        struct Key {
            int outIndex = -1;
            int tableIndex = -1;
            bool desc = false;
        };
        std::vector<Key> keys;
        for (const OrderItem& o : select.orderBy) {
            Key k;
            k.desc = o.descending;
            if (o.position > 0) {
                if (static_cast<size_t>(o.position) > out.columns.size()) {
                    throw Failure{runtimeError(
                        108, 15,
                        "The ORDER BY position number " + std::to_string(o.position) +
                            " is out of range of the number of items in the select list.")};
                }
                k.outIndex = o.position - 1;
            } else {
                for (size_t i = 0; i < select.items.size(); ++i) {
                    if (select.items[i].hasAlias &&
                        Collation::equal(select.items[i].alias, o.column)) {
                        // Position of this item among output columns.
                        size_t pos = 0;
                        for (size_t j = 0; j < i; ++j)
                            pos += select.items[j].star ? t->columns.size() : 1;
                        k.outIndex = static_cast<int>(pos);
                    }
                }
                if (k.outIndex < 0) {
                    k.tableIndex = ev.columnIndex(o.column);
                    if (k.tableIndex < 0) {
                        throw Failure{
                            runtimeError(207, 16, "Invalid column name '" + o.column + "'.")};
                    }
                }
            }
            keys.push_back(k);
        }

        if (aggregate) {
            std::vector<Value> r;
            for (const OutCol& p : plan) {
                r.push_back(p.count ? Value::integer(static_cast<int64_t>(rows.size()))
                                    : ev.scalar(*p.expr, nullptr).value);
            }
            out.rows.push_back(std::move(r));
            return true;
        }

        struct Built {
            std::vector<Value> out;
            const std::vector<Value>* source;
        };
        std::vector<Built> built;
        built.reserve(rows.size());
        for (const std::vector<Value>* r : rows) {
            Built b;
            b.source = r;
            for (const OutCol& p : plan) {
                b.out.push_back(p.tableIndex >= 0 ? (*r)[static_cast<size_t>(p.tableIndex)]
                                                  : ev.scalar(*p.expr, r).value);
            }
            built.push_back(std::move(b));
        }
        if (!keys.empty()) {
            auto cmp = [&](const Built& a, const Built& b) {
                for (const Key& k : keys) {
                    TypedValue x, y;
                    if (k.outIndex >= 0) {
                        x.value = a.out[static_cast<size_t>(k.outIndex)];
                        y.value = b.out[static_cast<size_t>(k.outIndex)];
                    } else {
                        x.value = (*a.source)[static_cast<size_t>(k.tableIndex)];
                        y.value = (*b.source)[static_cast<size_t>(k.tableIndex)];
                    }
                    const bool xn = x.value.kind == Value::Kind::Null;
                    const bool yn = y.value.kind == Value::Kind::Null;
                    int c = 0;
                    if (xn || yn) {
                        c = xn == yn ? 0 : xn ? -1 : 1;  // NULLs sort first
                    } else {
                        c = *ev.compare(x, y);
                    }
                    if (c != 0) return k.desc ? c > 0 : c < 0;
                }
                return false;
            };
            std::stable_sort(built.begin(), built.end(), cmp);
        }
        if (select.top && built.size() > static_cast<uint64_t>(*select.top))
            built.resize(static_cast<size_t>(*select.top));
        for (Built& b : built) out.rows.push_back(std::move(b.out));
        return true;
    } catch (const Failure& f) {
        error = f.message;
        return false;
    }
}

}  // namespace standin
